// HRESULT: the error currency across every subsystem boundary of Voxreel and
// Callfeed. Values are the platform-neutral COM codes the status texts show
// as eight upper-case hexadecimal digits.
#pragma once

#include <cerrno>
#include <cstdint>

using HRESULT = std::int32_t;

constexpr HRESULT MakeHResult(std::uint32_t bits)
{
    return static_cast<HRESULT>(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHResult(0x00040103);
constexpr HRESULT E_NOTIMPL = MakeHResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHResult(0x80004002);
constexpr HRESULT E_POINTER = MakeHResult(0x80004003);
constexpr HRESULT E_ABORT = MakeHResult(0x80004004);
constexpr HRESULT E_FAIL = MakeHResult(0x80004005);
constexpr HRESULT E_UNEXPECTED = MakeHResult(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHResult(0x80070005);
constexpr HRESULT E_OUTOFMEMORY = MakeHResult(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHResult(0x80070057);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHResult(0x80040111);

constexpr bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
constexpr bool FAILED(HRESULT hr)
{
    return hr < 0;
}

// Win32 error numbers used where the original design reported them.
constexpr std::uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr std::uint32_t ERROR_PATH_NOT_FOUND = 3;
constexpr std::uint32_t ERROR_ACCESS_DENIED = 5;
constexpr std::uint32_t ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr std::uint32_t ERROR_WRITE_FAULT = 29;
constexpr std::uint32_t ERROR_READ_FAULT = 30;
constexpr std::uint32_t ERROR_SHARING_VIOLATION = 32;
constexpr std::uint32_t ERROR_FILE_EXISTS = 80;
constexpr std::uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr std::uint32_t ERROR_DISK_FULL = 112;
constexpr std::uint32_t ERROR_INVALID_NAME = 123;
constexpr std::uint32_t ERROR_DIR_NOT_EMPTY = 145;
constexpr std::uint32_t ERROR_ALREADY_EXISTS = 183;
constexpr std::uint32_t ERROR_FILENAME_EXCED_RANGE = 206;
constexpr std::uint32_t ERROR_NOT_SUPPORTED = 50;
constexpr std::uint32_t ERROR_TIMEOUT = 1460;
constexpr std::uint32_t ERROR_CONNECTION_REFUSED = 1225;
constexpr std::uint32_t ERROR_GEN_FAILURE = 31;

// HRESULT_FROM_WIN32: facility 7 with the error number in the low word.
constexpr HRESULT HResultFromWin32(std::uint32_t error)
{
    return error == 0 ? S_OK : MakeHResult((error & 0xFFFFu) | 0x80070000u);
}

// The one mapping from errno to HRESULT. Errors with a Win32 counterpart take
// it, so that the status line shows the code a user can look up; the rest keep
// their errno in the low word of facility 7 as well, never a bare E_FAIL, so
// that distinct failures stay distinct.
constexpr HRESULT HResultFromErrno(int error)
{
    switch (error) {
    case 0:
        return S_OK;
    case ENOENT:
        return HResultFromWin32(ERROR_FILE_NOT_FOUND);
    case ENOTDIR:
        return HResultFromWin32(ERROR_PATH_NOT_FOUND);
    case EACCES:
    case EPERM:
    case EROFS:
        return E_ACCESSDENIED;
    case ENOMEM:
        return E_OUTOFMEMORY;
    case EINVAL:
        return E_INVALIDARG;
    case EEXIST:
        return HResultFromWin32(ERROR_ALREADY_EXISTS);
    case ENOSPC:
    case EDQUOT:
        return HResultFromWin32(ERROR_DISK_FULL);
    case ENAMETOOLONG:
        return HResultFromWin32(ERROR_FILENAME_EXCED_RANGE);
    case EBUSY:
    case ETXTBSY:
        return HResultFromWin32(ERROR_SHARING_VIOLATION);
    case ENOTEMPTY:
        return HResultFromWin32(ERROR_DIR_NOT_EMPTY);
    case ETIMEDOUT:
        return HResultFromWin32(ERROR_TIMEOUT);
    case ECONNREFUSED:
        return HResultFromWin32(ERROR_CONNECTION_REFUSED);
    case EIO:
        return HResultFromWin32(ERROR_GEN_FAILURE);
    case ENOSYS:
    case EOPNOTSUPP:
        return E_NOTIMPL;
    default:
        return error > 0 ? HResultFromWin32(static_cast<std::uint32_t>(error)) : E_FAIL;
    }
}
