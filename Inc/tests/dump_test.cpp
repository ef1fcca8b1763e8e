// The report's hex dump lines.
#include "Inc/dump.h"

#include <gtest/gtest.h>

TEST(Dump, ThirteenBytesPadTheirLastLine) {
  const uint8_t data[13] = {'H', 'R', 'L', 0, 1, 0x7F, 'a', 'b', 'c', 'd', 10, 'e', 'f'};
  EXPECT_EQ(DumpBytes(data, 13),
            "0000: 48 52 4C 00 01 7F 61 62 HRL..\x7F" "ab\r\n"
            "0008: 63 64 0A 65 66          cd.ef\r\n");
}

TEST(Dump, WordsFourToALine) {
  const uint32_t words[5] = {1, 0xDEADBEEF, 3, 4, 0xABCDEF};
  EXPECT_EQ(DumpWords(reinterpret_cast<const uint8_t*>(words), 20),
            "0000: 00000001 DEADBEEF 00000003 00000004\r\n"
            "0010: 00ABCDEF\r\n");
  EXPECT_EQ(DumpWords(reinterpret_cast<const uint8_t*>(words), 0), "");
}
