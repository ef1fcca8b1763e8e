// Status codes of the kernel and of the driver: one value per name.
#pragma once
#include <cstdint>

using NTSTATUS = int32_t;

constexpr bool NT_SUCCESS(NTSTATUS s) { return s >= 0; }
constexpr NTSTATUS NtStatus(uint32_t v) { return static_cast<NTSTATUS>(v); }

constexpr NTSTATUS STATUS_SUCCESS                   = 0;
constexpr NTSTATUS STATUS_TIMEOUT                   = 0x00000102;
constexpr NTSTATUS STATUS_PENDING                   = 0x00000103;
constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED  = NtStatus(0xC0000016);
constexpr NTSTATUS STATUS_DEVICE_BUSY               = NtStatus(0x80000011);
constexpr NTSTATUS STATUS_NO_MORE_ENTRIES           = NtStatus(0x8000001A);
constexpr NTSTATUS STATUS_BUS_RESET                 = NtStatus(0x8000001D);
constexpr NTSTATUS STATUS_BUFFER_OVERFLOW           = NtStatus(0x80000005);
constexpr NTSTATUS STATUS_UNSUCCESSFUL              = NtStatus(0xC0000001);
constexpr NTSTATUS STATUS_INFO_LENGTH_MISMATCH      = NtStatus(0xC0000004);
constexpr NTSTATUS STATUS_ACCESS_VIOLATION          = NtStatus(0xC0000005);
constexpr NTSTATUS STATUS_NOT_IMPLEMENTED           = NtStatus(0xC0000002);
constexpr NTSTATUS STATUS_INVALID_HANDLE            = NtStatus(0xC0000008);
constexpr NTSTATUS STATUS_INVALID_PARAMETER         = NtStatus(0xC000000D);
constexpr NTSTATUS STATUS_NO_SUCH_DEVICE            = NtStatus(0xC000000E);
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST    = NtStatus(0xC0000010);
constexpr NTSTATUS STATUS_ACCESS_DENIED             = NtStatus(0xC0000022);
constexpr NTSTATUS STATUS_NO_MEMORY                 = NtStatus(0xC0000017);
constexpr NTSTATUS STATUS_NOT_MAPPED_VIEW           = NtStatus(0xC0000019);
constexpr NTSTATUS STATUS_INVALID_VIEW_SIZE         = NtStatus(0xC000001F);
constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL          = NtStatus(0xC0000023);
constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH      = NtStatus(0xC0000024);
constexpr NTSTATUS STATUS_OBJECT_NAME_INVALID       = NtStatus(0xC0000033);
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND     = NtStatus(0xC0000034);
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION     = NtStatus(0xC0000035);
constexpr NTSTATUS STATUS_SHARING_VIOLATION         = NtStatus(0xC0000043);
constexpr NTSTATUS STATUS_DELETE_PENDING            = NtStatus(0xC0000056);
constexpr NTSTATUS STATUS_PROCEDURE_NOT_FOUND       = NtStatus(0xC000007A);
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES    = NtStatus(0xC000009A);
constexpr NTSTATUS STATUS_DEVICE_NOT_READY          = NtStatus(0xC00000A3);
constexpr NTSTATUS STATUS_IO_TIMEOUT                = NtStatus(0xC00000B5);
constexpr NTSTATUS STATUS_NOT_SUPPORTED             = NtStatus(0xC00000BB);
constexpr NTSTATUS STATUS_INTERNAL_ERROR            = NtStatus(0xC00000E5);
constexpr NTSTATUS STATUS_INVALID_USER_BUFFER       = NtStatus(0xC00000E8);
constexpr NTSTATUS STATUS_ADAPTER_HARDWARE_ERROR    = NtStatus(0xC00000C2);
constexpr NTSTATUS STATUS_CANCELLED                 = NtStatus(0xC0000120);
constexpr NTSTATUS STATUS_DEVICE_CONFIGURATION_ERROR = NtStatus(0xC0000182);
constexpr NTSTATUS STATUS_INVALID_DEVICE_STATE      = NtStatus(0xC0000184);
constexpr NTSTATUS STATUS_INVALID_BUFFER_SIZE       = NtStatus(0xC0000206);
constexpr NTSTATUS STATUS_DATA_ERROR                = NtStatus(0xC000003E);
