// CDsAllocator: the allocator properties and one page-granular block behind
// IMemAllocatorCallbackTemp and the private control interface.
#include "Drv/QvdsBase/dsbase.h"
#include "Inc/base.h"

#include <cstdint>

namespace {
constexpr char SourceFile[] = "Drv/QvdsAlloc";
}  // namespace

const IID IID_IQVAllocatorControl = {0x5AC6EFC1, 0x4264, 0x11D2, {0xAC, 0x7F, 0x00, 0xA0, 0x24, 0xCF, 0xC2, 0x58}};

const ComInterfaceEntry CDsAllocator::Interfaces[] = {
    {&IID_IMemAllocator, ComOffset<CDsAllocator, IMemAllocatorCallbackTemp>()},
    {&IID_IMemAllocatorCallbackTemp, ComOffset<CDsAllocator, IMemAllocatorCallbackTemp>()},
    {&IID_IQVAllocatorControl, ComOffset<CDsAllocator, IQVAllocatorControl>()},
    {nullptr, 0},
};

CDsAllocator::CDsAllocator(LPCWSTR, IUnknown* outer, const ComInterfaceEntry* interfaces)
    : CCom(outer, 4000, interfaces) {}

CDsAllocator::~CDsAllocator() {
  if (m_notify) m_notify->Release();
  // The derived allocator frees the block first; what it left goes here.
  if (m_block) VirtualFree(m_block, 0, MEM_RELEASE);
}

HRESULT STDMETHODCALLTYPE CDsAllocator::SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) {
  if (NullArgument(request, "pReq", SourceFile, __LINE__)) return E_POINTER;
  if (NullArgument(actual, "pAct", SourceFile, __LINE__)) return E_POINTER;
  if (request->cBuffers < 1 || request->cbBuffer < 1) return E_INVALIDARG;
  // The rounding divides by the alignment: none below 1.
  if (request->cbAlign < 1) return VFW_E_BADALIGN;
  Lock();
  HRESULT hr = S_OK;
  if (m_flags & Committed) {
    hr = VFW_E_ALREADY_COMMITTED;
  } else if (m_free != m_props.cBuffers) {
    hr = VFW_E_BUFFERS_OUTSTANDING;
  } else {
    LONG align = request->cbAlign;
    LONG64 rounded = (LONG64(request->cbBuffer) + align - 1) / align * align;
    if (rounded > 0x7FFFFFFF) {
      hr = E_INVALIDARG;
    } else {
      ALLOCATOR_PROPERTIES p = {request->cBuffers, LONG(rounded), align, request->cbPrefix};
      bool same = (m_flags & PropertiesSet) && p.cbBuffer == m_props.cbBuffer && p.cbAlign == m_props.cbAlign &&
                  p.cBuffers == m_props.cBuffers && p.cbPrefix == m_props.cbPrefix;
      if (!same) {
        m_props = p;
        m_free = p.cBuffers;
        m_flags |= MustAllocate | PropertiesSet;
      }
      *actual = m_props;
    }
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::GetProperties(ALLOCATOR_PROPERTIES* props) {
  if (NullArgument(props, "pProps", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  *props = m_props;
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::Commit() {
  Lock();
  HRESULT hr = (m_flags & Committed) ? S_OK : Alloc();
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::Decommit() {
  // The block stays until Free or Reset.
  Lock();
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::GetBuffer(IMediaSample**, REFERENCE_TIME*, REFERENCE_TIME*, DWORD) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::ReleaseBuffer(IMediaSample*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE CDsAllocator::SetNotify(IMemAllocatorNotifyCallbackTemp* notify) {
  Lock();
  if (notify) notify->AddRef();
  if (m_notify) m_notify->Release();
  m_notify = notify;
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::GetFreeCount(LONG* free) {
  if (NullArgument(free, "pBuffersFree", SourceFile, __LINE__)) return E_POINTER;
  Lock();
  *free = m_free;
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::Reset(LONG count) {
  Lock();
  if (m_block) VirtualFree(m_block, 0, MEM_RELEASE);
  m_block = nullptr;
  m_props = {count, 0, 0, 0};
  m_free = 0;
  m_cursor = 0;
  m_flags = (m_flags & ~(PropertiesSet | Committed)) | MustAllocate;
  Unlock();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::Alloc() {
  Lock();
  HRESULT hr = S_OK;
  if (m_props.cBuffers == 0 && m_props.cbBuffer == 0) {
    // Nothing asked for.
  } else if (m_props.cBuffers < 1 || m_props.cbBuffer < 1 || m_props.cbAlign < 1) {
    hr = VFW_E_SIZENOTSET;
  } else {
    if (m_flags & MustAllocate) {
      Free();
      SIZE_T bytes = SIZE_T(m_props.cBuffers) * (SIZE_T(m_props.cbPrefix) + SIZE_T(m_props.cbBuffer));
      uint64_t want = uint64_t(m_props.cBuffers) * (uint64_t(m_props.cbPrefix) + uint64_t(m_props.cbBuffer));
      m_block = want == bytes && m_props.cbPrefix >= 0 ? VirtualAlloc(nullptr, bytes, MEM_COMMIT, PAGE_READWRITE)
                                                      : nullptr;
    }
    if (m_block) {
      m_free = m_props.cBuffers;
      m_cursor = 0;
      m_flags = (m_flags & ~MustAllocate) | Committed;
    } else {
      hr = E_OUTOFMEMORY;
    }
  }
  Unlock();
  return hr;
}

HRESULT STDMETHODCALLTYPE CDsAllocator::Free() {
  Lock();
  if (m_block) VirtualFree(m_block, 0, MEM_RELEASE);
  m_block = nullptr;
  // A later Commit allocates again without a Reset.
  m_flags = (m_flags & ~Committed) | MustAllocate;
  m_free = 0;
  Unlock();
  return S_OK;
}
