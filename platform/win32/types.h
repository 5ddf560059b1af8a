// Integer, handle and record types of the Windows API, as the application code
// uses them. Sizes follow the platform's data model: DWORD and LONG are 32 bits,
// handles and message parameters are pointer-sized.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef ULONG_PTR SIZE_T;
typedef char CHAR;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef BOOL* LPBOOL;

typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define VARNEL_DECLARE_HANDLE(name) \
  struct name##__ {                 \
    int unused;                     \
  };                                \
  typedef struct name##__* name

typedef void* HANDLE;
VARNEL_DECLARE_HANDLE(HWND);
VARNEL_DECLARE_HANDLE(HICON);
VARNEL_DECLARE_HANDLE(HMENU);
VARNEL_DECLARE_HANDLE(HDC);
VARNEL_DECLARE_HANDLE(HDROP);
VARNEL_DECLARE_HANDLE(HKEY);
VARNEL_DECLARE_HANDLE(HINSTANCE);
VARNEL_DECLARE_HANDLE(HBITMAP);
typedef HICON HCURSOR;
typedef HINSTANCE HMODULE;
typedef HKEY* PHKEY;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))

#define LOWORD(l) (static_cast<WORD>(static_cast<DWORD_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<DWORD_PTR>(l) >> 16) & 0xffff))
#define MAKELONG(a, b) \
  (static_cast<LONG>((static_cast<DWORD>(static_cast<WORD>(a))) | (static_cast<DWORD>(static_cast<WORD>(b)) << 16)))
#define MAKEWPARAM(l, h) (static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKELPARAM(l, h) (static_cast<LPARAM>(static_cast<DWORD>(MAKELONG(l, h))))
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define IS_INTRESOURCE(r) ((reinterpret_cast<ULONG_PTR>(r) >> 16) == 0)

typedef union _LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
} LARGE_INTEGER;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef RECT* LPRECT;

struct POINT {
  LONG x;
  LONG y;
};

typedef struct _SECURITY_ATTRIBUTES {
  DWORD nLength;
  LPVOID lpSecurityDescriptor;
  BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

// The platform's media type codes; the values are those of its floppy and disk
// drivers.
typedef enum _MEDIA_TYPE {
  Unknown = 0,
  F5_1Pt2_512 = 1,
  F3_1Pt44_512 = 2,
  F3_2Pt88_512 = 3,
  F3_20Pt8_512 = 4,
  F3_720_512 = 5,
  F5_360_512 = 6,
  F5_320_512 = 7,
  F5_320_1024 = 8,
  F5_180_512 = 9,
  F5_160_512 = 10,
  RemovableMedia = 11,
  FixedMedia = 12
} MEDIA_TYPE;

// One drive geometry record: 24 bytes, little-endian, without gaps.
typedef struct _DISK_GEOMETRY {
  LARGE_INTEGER Cylinders;
  MEDIA_TYPE MediaType;
  DWORD TracksPerCylinder;
  DWORD SectorsPerTrack;
  DWORD BytesPerSector;
} DISK_GEOMETRY, *PDISK_GEOMETRY;

static_assert(sizeof(DISK_GEOMETRY) == 24, "DISK_GEOMETRY is a 24-byte record");
static_assert(offsetof(DISK_GEOMETRY, Cylinders) == 0, "Cylinders at offset 0");
static_assert(offsetof(DISK_GEOMETRY, MediaType) == 8, "MediaType at offset 8");
static_assert(offsetof(DISK_GEOMETRY, TracksPerCylinder) == 12, "TracksPerCylinder at offset 12");
static_assert(offsetof(DISK_GEOMETRY, SectorsPerTrack) == 16, "SectorsPerTrack at offset 16");
static_assert(offsetof(DISK_GEOMETRY, BytesPerSector) == 20, "BytesPerSector at offset 20");
static_assert(sizeof(MEDIA_TYPE) == 4, "MEDIA_TYPE is a 32-bit enumeration");
