// Mapping of system and media failures to the codes the status line shows.
#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <utility>

#include "voxreel/gst_hresult.h"
#include "voxreel/hresult.h"

namespace {

// Known errors give the code a user can look up; every other one fails with
// a code of its own. A media failure of no known kind stays a failure.
TEST(FailureMapping, GivesKnownCodesAndKeepsTheRestDistinctFailures)
{
    for (const auto& [error, expected] : {std::pair{0, S_OK},
                                          {ENOENT, MakeHResult(0x80070002)},
                                          {EACCES, E_ACCESSDENIED},
                                          {ENOSPC, MakeHResult(0x80070070)},
                                          {-1, E_FAIL}})
        EXPECT_EQ(HResultFromErrno(error), expected) << error;
    std::set<HRESULT> seen;
    for (int error = 1; error < 134; ++error) {
        EXPECT_TRUE(FAILED(HResultFromErrno(error))) << error;
        seen.insert(HResultFromErrno(error));
    }
    EXPECT_GT(seen.size(), 100u);

    gst_init(nullptr, nullptr);
    GError* error = g_error_new_literal(GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, "x");
    EXPECT_EQ(HResultFromGError(error), E_FAIL);
    g_error_free(error);
}

} // namespace
