// The element windows' data blocks and the control records they fill from
// the skin.
#include "elements/Qvmxel1/win32/qvwin.h"

namespace {

uint32_t Col(int slot) { return ElemModule().Skin.Colors[slot]; }

// The module's own button faces, by skin image slot.
const char* const kImageResources[kSkinImageCount] = {"MUTE", "RECARM", "CHECK", "BYPASS", "LOAD",
                                                       "SAVE", "BYPASS", "PHASEINV", "PANCENTER", "SOLO"};

}  // namespace

WndData* WndDataOf(HWND wnd) { return reinterpret_cast<WndData*>(GetWindowLongPtrA(wnd, 0)); }

WndData* WndDataCreate(HWND wnd, LPARAM lParam) {
  auto* w = static_cast<WndData*>(ElemAlloc(sizeof(WndData)));
  if (!w) return nullptr;
  w->E = static_cast<Element*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
  SetWindowLongPtrA(wnd, 0, reinterpret_cast<LONG_PTR>(w));
  return w;
}

void WndDataDestroy(HWND wnd) {
  ElemFree(WndDataOf(wnd));
  SetWindowLongPtrA(wnd, 0, 0);
}

void SkinLabel(ColBox8Data* d, uint32_t left, uint32_t right) {
  d->Text = Col(kCol_Label_Text);
  d->TextBlocked = Col(kCol_Label_Text_Blocked);
  d->LeftBackground = left;
  d->RightBackground = right;
  d->BackgroundBlocked = Col(kCol_Label_Background_Blocked);
  d->FrameOn = Col(kCol_Label_Border_On);
  d->FrameLeft = Col(kCol_Label_Border_Left);
  d->FrameTop = Col(kCol_Label_Border_Top);
  d->FrameRight = Col(kCol_Label_Border_Right);
  d->FrameBottom = Col(kCol_Label_Border_Bottom);
}

void SkinButton(HBmButton8Data* d, int image, const char* resource) {
  const char* file = ElemModule().Skin.Images[image];
  if (*file) {
    d->Bitmap = file;
    d->Flags = kHBmFile | kHBmOnRow;
  } else {
    d->Bitmap = resource ? resource : kImageResources[image];
    d->Flags = kHBmOnRow;
  }
  d->MaskColor = 0xFF00FF;
}

void SkinSpin(SpinBox8Data* d, int32_t value, int32_t lo, int32_t hi, int32_t steps, int32_t divisor,
              uint32_t flags) {
  d->Text = Col(kCol_SpinBox_Text);
  d->TextBlocked = Col(kCol_SpinBox_Text_Blocked);
  d->Background = Col(kCol_SpinBox_Background);
  d->BackgroundBlocked = Col(kCol_SpinBox_Background_Blocked);
  d->FrameOn = Col(kCol_SpinBox_Border_On);
  d->FrameInnerLeft = Col(kCol_SpinBox_Border_InnerLeft);
  d->FrameOuterLeft = Col(kCol_SpinBox_Border_OuterLeft);
  d->FrameInnerTop = Col(kCol_SpinBox_Border_InnerTop);
  d->FrameOuterTop = Col(kCol_SpinBox_Border_OuterTop);
  d->FrameInnerRight = Col(kCol_SpinBox_Border_InnerRight);
  d->FrameOuterRight = Col(kCol_SpinBox_Border_OuterRight);
  d->FrameInnerBottom = Col(kCol_SpinBox_Border_InnerBottom);
  d->FrameOuterBottom = Col(kCol_SpinBox_Border_OuterBottom);
  d->Value = value;
  d->Minimum = lo;
  d->Maximum = hi;
  d->StepCount = steps;
  d->Divisor = divisor;
  d->Flags = flags;
}

void SkinFader(Fader8Data* d, int width, int height, int capLen, int marks) {
  d->Width = width;
  d->Height = height;
  d->CapLen = capLen;
  d->Marks = marks;
  // The colours follow the skin keys from col_Fader_Slider_Line in order.
  uint32_t* c = &d->CapLine;
  for (int slot = kCol_Fader_Slider_Line; slot <= kCol_Fader_Slot_Border_Bottom; ++slot) *c++ = Col(slot);
}

void SkinPot(RotPot8Data* d, int diameter, int32_t value, int32_t maximum) {
  d->Diameter = diameter;
  d->Value = value;
  d->Maximum = maximum;
  d->CrossOn = 0;
  d->Background = Col(kCol_RotPot_Background);
  d->Pointer = Col(kCol_RotPot_Line);
  d->PointerBlocked = Col(kCol_RotPot_Line_Blocked);
  d->Face = Col(kCol_RotPot_Body);
  d->FaceDetent = Col(kCol_RotPot_Body_Centered);
  d->FaceBlocked = Col(kCol_RotPot_Body_Blocked);
  d->Cross = Col(kCol_RotPot_Marks);
  d->Look3D = Col(kCol_RotPot_Border);
  d->Outline = Col(kCol_RotPot_Border_Outline);
  d->OutlineBlocked = Col(kCol_RotPot_Border_Outline_Blocked);
  d->Highlight = Col(kCol_RotPot_Border_UpperLeft);
  d->Shadow = Col(kCol_RotPot_Border_LowerRight);
}

void SkinMeter(Peak8Data* d, int meters, int leds, int vertical, int pitch, int thickness) {
  d->X = d->Y = 1;
  d->Pitch = pitch;
  d->Thickness = thickness;
  d->Meters = meters;
  d->Leds = leds;
  d->Vertical = vertical;
  uint32_t* c = &d->LedOff;
  for (int slot = kCol_PeakMeter_Led_Off; slot <= kCol_PeakMeter_Border_Bottom; ++slot) *c++ = Col(slot);
}

HWND MakeControl(HWND parent, const char* cls, int id, int x, int y, int w, int h, void* record, const char* text,
                 bool visible) {
  return CreateWindowExA(0, cls, text, WS_CHILD | (visible ? WS_VISIBLE : 0), x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ElemModule().Instance, record);
}

void SetBlockedLook(WndData* w, uint32_t blocked) {
  w->Label.Blocked = blocked;
  for (SpinBox8Data& s : w->Spin) s.Blocked = blocked;
  for (Fader8Data& f : w->Fader) f.Blocked = blocked;
  w->Pot.Blocked = blocked;
  w->Meter.Blocked = blocked;
  for (HBmButton8Data& b : w->Button) {
    if (blocked) b.Flags |= kHBmThird;
    else b.Flags &= ~kHBmThird;
  }
}

// The skin fills these records field after field, in the skin keys' order.
static_assert(offsetof(Fader8Data, SlotBottom) - offsetof(Fader8Data, CapLine) ==
              (kCol_Fader_Slot_Border_Bottom - kCol_Fader_Slider_Line) * sizeof(uint32_t));
static_assert(offsetof(Peak8Data, FrameBottom) - offsetof(Peak8Data, LedOff) ==
              (kCol_PeakMeter_Border_Bottom - kCol_PeakMeter_Led_Off) * sizeof(uint32_t));
