// The dialog that reads an arrangement file, run for real under Wine.
#include <windows.h>

#include "mixer/model/tests/arrfile_fixture.h"
#include "mixer/model/win32/arrfiledlg.h"
#include "modal_closer.h"

namespace {

class ReadArrDlg : public ArrFileTest {
 protected:
  // A file of `parts` Parts on track 0, all playing the first Take.
  void WriteFileOf(const char* name, uint32_t parts) {
    FileLayout f{"AFFV2.4", {}, {}, {}, {IdOf(0)}};
    for (uint32_t i = 0; i < parts; ++i) {
      FilePart p{0, int32_t(i) * 10, 10, 0};
      p.overlap = kArrNoLink;
      f.parts.push_back(p);
    }
    WriteBytes(name, BuildImage(f, Settings(), Locs()).bytes);
  }
};

TEST_F(ReadArrDlg, ReadsTheFileAndShowsItsName) {
  WriteFileOf("song.arr", 3);
  ArrRec* got = nullptr;
  const std::string path = Path("song.arr");
  ArrReadRequest req{path.c_str(), &got, nullptr, 0, nullptr, nullptr};
  EXPECT_EQ(ReadArrFileDlg(req), 1);
  ASSERT_NE(got, nullptr);
  int count = 0;
  ArrForEachPart(got, [&](uint32_t, uint32_t, const PartRec&) { ++count; });
  EXPECT_EQ(count, 3);
  ArrHeap.Free(got);
}

TEST_F(ReadArrDlg, CancelKeepsTheCallersArrangement) {
  WriteFileOf("long.arr", kArrMaxParts);
  ArrRec* mine = arr;
  const std::string path = Path("long.arr");
  ArrReadRequest req{path.c_str(), &arr, nullptr, 0, nullptr, nullptr};
  std::string shownName;
  ModalCloser closer(IDCANCEL, [&](HWND dlg) {
    char text[64] = {};
    GetDlgItemTextA(dlg, kReadArrNameItem, text, sizeof text);
    shownName = text;
  });
  EXPECT_EQ(ReadArrFileDlg(req), 0);
  EXPECT_TRUE(closer.seen().found);
  EXPECT_EQ(shownName, "long.arr");
  EXPECT_EQ(arr, mine);
}

TEST_F(ReadArrDlg, AFileThatIsNoArrangementIsRefused) {
  WriteBytes("junk.arr", std::vector<uint8_t>(100, 'x'));
  ArrRec* got = nullptr;
  const std::string path = Path("junk.arr");
  ArrReadRequest req{path.c_str(), &got, nullptr, 0, nullptr, nullptr};
  ModalCloser closer(IDOK);
  EXPECT_EQ(ReadArrFileDlg(req), 0);
  EXPECT_EQ(got, nullptr);
  EXPECT_EQ(closer.seen().text, "Invalid or incompatible arrangement!");
}

}  // namespace
