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

struct GErrorCase {
    GQuark domain;
    gint code;
    HRESULT expected;
};

TEST(GErrorMapping, MediaFailuresStayDistinguishable)
{
    const GErrorCase cases[] = {
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, MakeHResult(0x80070002)},
        {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, E_ACCESSDENIED},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, VFW_E_UNKNOWN_FILE_TYPE},
        {GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND, VFW_E_UNSUPPORTED_STREAM},
        {GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN, VFW_E_UNSUPPORTED_STREAM},
        {GST_CORE_ERROR, GST_CORE_ERROR_NEGOTIATION, VFW_E_CANNOT_CONNECT},
        {GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, E_FAIL},
    };
    gst_init(nullptr, nullptr);
    for (const auto& c : cases) {
        GError* error = g_error_new_literal(c.domain, c.code, "x");
        EXPECT_EQ(HResultFromGError(error), c.expected) << g_quark_to_string(c.domain) << c.code;
        g_error_free(error);
    }
    EXPECT_EQ(HResultFromGError(nullptr), S_OK);
}

} // namespace
