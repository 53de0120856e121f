#include <gtest/gtest.h>

#include <cstring>

#include "voxreel/ids.h"

namespace {

TEST(ClassIds, MapToTheirFactoriesAndNothingElseDoes)
{
    EXPECT_STREQ(FactoryNameFromClsid(CLSID_CCallfeed), "callfeedrenderer");
    EXPECT_STREQ(FactoryNameFromClsid(CLSID_CResampleFilter), "callfeedresampler");
    EXPECT_EQ(FactoryNameFromClsid(IID_IVoxreelCallfeed), nullptr);
    CLSID almost = CLSID_CCallfeed;
    almost.Data4[7] ^= 1;
    EXPECT_EQ(FactoryNameFromClsid(almost), nullptr);
}

} // namespace
