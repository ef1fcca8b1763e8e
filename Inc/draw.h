// Painting on a device context, and strips of equal bitmap cells shared by
// several users.
#pragma once
#include <windows.h>

class CDrawDC {
 public:
  explicit CDrawDC(HDC dc) : m_hdc(dc) {}
  // A one-pixel frame: top and left edges light, bottom and right edges dark.
  void Frame3d(const RECT& rect, COLORREF light, COLORREF dark);
  // Text drawn transparently in the colour and font (NULL keeps the DC's),
  // at (x, y) and clipped to the rectangle; the DC's colour, mode and font
  // are restored.
  BOOL TextOut(int x, int y, const RECT& clip, LPCSTR text, int length, COLORREF colour, HFONT font);
  // The same through the platform's formatted drawing; returns its height.
  int DrawText(LPCSTR text, int length, RECT* rect, UINT format, COLORREF colour, HFONT font);
  void FillSolid(const RECT& rect, COLORREF colour);
  void FillBrush(const RECT& rect, HBRUSH brush);

  HDC m_hdc;
};

class CBitmapStrip {
 public:
  // Counts a user; the first loads the bitmap (a name "#n" is id n) and cuts
  // it into columns x rows cells. FALSE with the last error when the bitmap
  // cannot be loaded or the grid is empty; the user is then not counted.
  BOOL Load(LPCSTR resource, HINSTANCE module, int columns, int rows);
  // Drops a user; the last one deletes the bitmap.
  void Release();
  // Copies count cells, given as (column, row) pairs, to count positions.
  BOOL Draw(HDC dc, const POINT* cells, const POINT* positions, int count) const;
  BOOL DrawToWindow(HWND window, const POINT* cells, const POINT* positions, int count) const;
  // The first index whose cell at its position holds the point, -1 if none.
  int HitTest(POINT point, const POINT* positions, int count) const;

  HBITMAP m_bitmap = nullptr;
  int m_cellWidth = 0;
  int m_cellHeight = 0;
  LONG m_uses = 0;
};
