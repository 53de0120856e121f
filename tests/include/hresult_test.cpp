#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <utility>

#include "voxreel/gst_hresult.h"
#include "voxreel/hresult.h"

namespace {

// Known errors give the code a user can look up; every other one fails with
// a code of its own.
TEST(ErrnoMapping, GivesKnownCodesAndKeepsTheRestDistinct)
{
    const std::pair<int, HRESULT> known[] = {{0, S_OK},
                                             {ENOENT, MakeHResult(0x80070002)},
                                             {EACCES, E_ACCESSDENIED},
                                             {ENOMEM, E_OUTOFMEMORY},
                                             {EINVAL, E_INVALIDARG},
                                             {ENOSPC, MakeHResult(0x80070070)},
                                             {-1, E_FAIL}};
    for (const auto& [error, expected] : known)
        EXPECT_EQ(HResultFromErrno(error), expected) << error;
    std::set<HRESULT> seen;
    for (int error = 1; error < 134; ++error) {
        HRESULT hr = HResultFromErrno(error);
        EXPECT_TRUE(FAILED(hr)) << error;
        seen.insert(hr);
    }
    EXPECT_GT(seen.size(), 100u);
}

// The media failures a user meets are mapped as the player's and the failure
// texts' tests show on real files; any other failure stays a failure.
TEST(GErrorMapping, AnUnknownFailureStaysAFailure)
{
    gst_init(nullptr, nullptr);
    GError* error = g_error_new_literal(GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, "x");
    EXPECT_EQ(HResultFromGError(error), E_FAIL);
    g_error_free(error);
    EXPECT_EQ(HResultFromGError(nullptr), S_OK);
}

} // namespace
