#include "Inc/draw.h"

#include <cstdlib>

void CDrawDC::FillSolid(const RECT& rect, COLORREF colour) {
  // An opaque empty text fills with the background colour without a brush.
  COLORREF old = SetBkColor(m_hdc, colour);
  ExtTextOutA(m_hdc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  SetBkColor(m_hdc, old);
}

void CDrawDC::FillBrush(const RECT& rect, HBRUSH brush) { FillRect(m_hdc, &rect, brush); }

void CDrawDC::Frame3d(const RECT& rect, COLORREF light, COLORREF dark) {
  const LONG x = rect.left, y = rect.top, cx = rect.right - rect.left, cy = rect.bottom - rect.top;
  if (cx <= 0 || cy <= 0) return;
  RECT edge;
  SetRect(&edge, x, y, x + cx - 1, y + 1);  // top
  FillSolid(edge, light);
  SetRect(&edge, x, y, x + 1, y + cy - 1);  // left
  FillSolid(edge, light);
  SetRect(&edge, x + cx - 1, y, x + cx, y + cy);  // right
  FillSolid(edge, dark);
  SetRect(&edge, x, y + cy - 1, x + cx, y + cy);  // bottom
  FillSolid(edge, dark);
}

namespace {

// Sets the DC up for transparent text and puts it back afterwards.
class TextState {
 public:
  TextState(HDC dc, COLORREF colour, HFONT font)
      : m_dc(dc), m_colour(SetTextColor(dc, colour)), m_mode(SetBkMode(dc, TRANSPARENT)),
        m_font(font ? static_cast<HFONT>(SelectObject(dc, font)) : nullptr) {}
  ~TextState() {
    if (m_font) SelectObject(m_dc, m_font);
    SetBkMode(m_dc, m_mode);
    SetTextColor(m_dc, m_colour);
  }

 private:
  HDC m_dc;
  COLORREF m_colour;
  int m_mode;
  HFONT m_font;
};

}  // namespace

BOOL CDrawDC::TextOut(int x, int y, const RECT& clip, LPCSTR text, int length, COLORREF colour, HFONT font) {
  TextState state(m_hdc, colour, font);
  return ExtTextOutA(m_hdc, x, y, ETO_CLIPPED, &clip, text, static_cast<UINT>(length), nullptr);
}

int CDrawDC::DrawText(LPCSTR text, int length, RECT* rect, UINT format, COLORREF colour, HFONT font) {
  TextState state(m_hdc, colour, font);
  return ::DrawTextA(m_hdc, text, length, rect, format);
}

BOOL CBitmapStrip::Load(LPCSTR resource, HINSTANCE module, int columns, int rows) {
  if (columns <= 0 || rows <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (InterlockedIncrement(&m_uses) > 1) return TRUE;
  LPCSTR name = resource;
  if (!IS_INTRESOURCE(resource) && resource[0] == '#') name = MAKEINTRESOURCEA(std::atoi(resource + 1));
  HBITMAP bitmap = LoadBitmapA(module, name);
  BITMAP info;
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info)) {
    DWORD error = GetLastError();
    if (bitmap) DeleteObject(bitmap);
    InterlockedDecrement(&m_uses);
    SetLastError(error ? error : ERROR_RESOURCE_NAME_NOT_FOUND);
    return FALSE;
  }
  m_bitmap = bitmap;
  m_cellWidth = info.bmWidth / columns;
  m_cellHeight = info.bmHeight / rows;
  return TRUE;
}

void CBitmapStrip::Release() {
  if (m_uses > 0 && InterlockedDecrement(&m_uses) == 0 && m_bitmap) {
    DeleteObject(m_bitmap);
    m_bitmap = nullptr;
  }
}

BOOL CBitmapStrip::Draw(HDC dc, const POINT* cells, const POINT* positions, int count) const {
  if (!m_bitmap) return FALSE;
  HDC memory = CreateCompatibleDC(dc);
  if (!memory) return FALSE;
  HGDIOBJ old = SelectObject(memory, m_bitmap);
  BOOL ok = TRUE;
  for (int i = 0; i < count; ++i)
    ok &= BitBlt(dc, positions[i].x, positions[i].y, m_cellWidth, m_cellHeight, memory,
                 cells[i].x * m_cellWidth, cells[i].y * m_cellHeight, SRCCOPY) != 0;
  SelectObject(memory, old);
  DeleteDC(memory);
  return ok;
}

BOOL CBitmapStrip::DrawToWindow(HWND window, const POINT* cells, const POINT* positions, int count) const {
  HDC dc = GetDC(window);
  if (!dc) return FALSE;
  BOOL ok = Draw(dc, cells, positions, count);
  ReleaseDC(window, dc);
  return ok;
}

int CBitmapStrip::HitTest(POINT point, const POINT* positions, int count) const {
  for (int i = 0; i < count; ++i) {
    RECT cell = {positions[i].x, positions[i].y, positions[i].x + m_cellWidth, positions[i].y + m_cellHeight};
    if (PtInRect(&cell, point)) return i;
  }
  return -1;
}
