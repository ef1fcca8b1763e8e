// CMediaType: the media-type record's operations; the exact stream reads
// and writes.
#include "Drv/QvdsBase/dsbase.h"

#include <cstring>

CMediaType::CMediaType(const AM_MEDIA_TYPE& source, HRESULT* result) {
  Init(this);
  HRESULT hr = Copy(this, &source);
  if (result) *result = hr;
}

void CMediaType::Init(AM_MEDIA_TYPE* pmt) {
  std::memset(pmt, 0, sizeof *pmt);
  pmt->bFixedSizeSamples = TRUE;
  pmt->lSampleSize = 1;
}

HRESULT CMediaType::Copy(AM_MEDIA_TYPE* dst, const AM_MEDIA_TYPE* src) {
  if (!dst || !src || dst == src) return E_POINTER;
  *dst = *src;
  if (dst->pUnk) dst->pUnk->AddRef();
  if (src->cbFormat && src->pbFormat) {
    dst->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
    if (!dst->pbFormat) {
      dst->cbFormat = 0;
      return E_OUTOFMEMORY;
    }
    std::memcpy(dst->pbFormat, src->pbFormat, src->cbFormat);
  } else {
    // No block to share: the copy owns nothing of the source's.
    dst->cbFormat = 0;
    dst->pbFormat = nullptr;
  }
  return S_OK;
}

void CMediaType::Free(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return;
  if (pmt->pbFormat) CoTaskMemFree(pmt->pbFormat);
  pmt->cbFormat = 0;
  pmt->pbFormat = nullptr;
  if (pmt->pUnk) {
    pmt->pUnk->Release();
    pmt->pUnk = nullptr;
  }
}

void CMediaType::Delete(AM_MEDIA_TYPE* pmt) {
  if (!pmt) return;
  Free(pmt);
  CoTaskMemFree(pmt);
}

AM_MEDIA_TYPE* CMediaType::Duplicate(const AM_MEDIA_TYPE* src) {
  auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
  if (!copy) return nullptr;
  Init(copy);
  if (FAILED(Copy(copy, src))) {
    Delete(copy);
    return nullptr;
  }
  return copy;
}

BOOL CMediaType::IsPartiallySpecified(const AM_MEDIA_TYPE* pmt) {
  return IsEqualGUID(pmt->majortype, GUID_NULL) || IsEqualGUID(pmt->formattype, GUID_NULL);
}

BOOL CMediaType::MatchesPartial(const AM_MEDIA_TYPE* pmt, const AM_MEDIA_TYPE* partial) {
  if (!IsEqualGUID(partial->subtype, GUID_NULL) && !IsEqualGUID(partial->subtype, pmt->subtype)) return FALSE;
  if (!IsEqualGUID(partial->majortype, GUID_NULL) && !IsEqualGUID(partial->majortype, pmt->majortype)) return FALSE;
  if (IsEqualGUID(partial->formattype, GUID_NULL)) return TRUE;
  if (!IsEqualGUID(partial->formattype, pmt->formattype) || partial->cbFormat != pmt->cbFormat) return FALSE;
  if (partial->cbFormat == 0) return TRUE;
  if (!partial->pbFormat || !pmt->pbFormat) return FALSE;
  return std::memcmp(partial->pbFormat, pmt->pbFormat, partial->cbFormat) == 0;
}

BYTE* CMediaType::AllocFormat(ULONG size) {
  if (size == cbFormat && (pbFormat || size == 0)) return pbFormat;
  if (size == 0) {
    if (pbFormat) CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
    return nullptr;
  }
  // Larger or smaller, a new block of the new size with the old bytes that
  // fit: a smaller size never leaves a null block behind a non-zero size.
  auto* block = static_cast<BYTE*>(CoTaskMemAlloc(size));
  if (!block) return nullptr;
  ULONG keep = pbFormat ? (cbFormat < size ? cbFormat : size) : 0;
  if (keep) std::memcpy(block, pbFormat, keep);
  std::memset(block + keep, 0, size - keep);
  if (pbFormat) CoTaskMemFree(pbFormat);
  pbFormat = block;
  cbFormat = size;
  return block;
}

HRESULT StreamReadExact(IStream* stream, void* buffer, ULONG n) {
  if (!stream || !buffer) return E_POINTER;
  ULONG done = 0;
  HRESULT hr = stream->Read(buffer, n, &done);
  if (FAILED(hr)) return hr;
  return done == n ? S_OK : E_FAIL;
}

HRESULT StreamWriteExact(IStream* stream, const void* buffer, ULONG n) {
  if (!stream || !buffer) return E_POINTER;
  ULONG done = 0;
  HRESULT hr = stream->Write(buffer, n, &done);
  if (FAILED(hr)) return hr;
  return done == n ? S_OK : E_FAIL;
}
