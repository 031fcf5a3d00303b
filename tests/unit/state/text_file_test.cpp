#include "state/text_file.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_file_system.h"
#include "base/utf16.h"
#include "tests/support/forwarding_file_system.h"

namespace qv {
namespace {

constexpr wchar_t kPath[] = L"C:\\out.txt";

std::unique_ptr<CTextWriter> OpenWriter(CMemoryFileSystem& fs, FileOpenMode mode) {
  std::unique_ptr<CTextWriter> writer;
  EXPECT_EQ(OpenTextWriter(fs, kPath, mode, FileShareMode::kDenyWrite, &writer), kErrorSuccess);
  return writer;
}

TEST(CTextWriter, CodePageBytesWithCrLfAndNoByteOrderMark) {
  struct Case {
    std::wstring text;
    std::string bytes;
    bool lossless;
  };
  const Case cases[] = {
      {L"REGEDIT4\n", "REGEDIT4\r\n", true},
      {L"\n\n[HKEY]\n", "\r\n\r\n[HKEY]\r\n", true},
      {L"caf\u00e9 \u20ac", "caf\xE9 \x80", true},
      {L"a\r\nb", "a\r\r\nb", true},  // as a text-mode stream writes it
      {L"no line end", "no line end", true},
      {L"\u4e2d\n", "?\r\n", false},
      {L"", "", true},
  };
  for (const Case& c : cases) {
    CMemoryFileSystem fs;
    auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(writer->Write(c.text), kErrorSuccess);
    EXPECT_EQ(writer->Lossless(), c.lossless) << ToUtf8(c.text);
    EXPECT_EQ(writer->BytesWritten(), c.bytes.size());
    ASSERT_EQ(writer->Close(), kErrorSuccess);
    EXPECT_EQ(fs.ReadFile(kPath), c.bytes) << ToUtf8(c.text);
  }
}

TEST(CTextWriter, LosslessStaysFalseOnceLost) {
  CMemoryFileSystem fs;
  auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
  ASSERT_EQ(writer->Write(L"ok"), kErrorSuccess);
  EXPECT_TRUE(writer->Lossless());
  ASSERT_EQ(writer->Write(L"\u0416"), kErrorSuccess);
  ASSERT_EQ(writer->Write(L"ok again"), kErrorSuccess);
  EXPECT_FALSE(writer->Lossless());
}

TEST(CTextWriter, FlushPutsEverythingInTheFileAndCloseReleasesIt) {
  CMemoryFileSystem fs;
  auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
  ASSERT_EQ(writer->Write(L"line 1\n"), kErrorSuccess);
  ASSERT_EQ(writer->Flush(), kErrorSuccess);
  EXPECT_EQ(fs.ReadFile(kPath), "line 1\r\n");
  EXPECT_EQ(fs.FlushCount(kPath), 1);
  ASSERT_EQ(writer->Write(L"line 2\n"), kErrorSuccess);
  EXPECT_EQ(fs.OpenFileCount(), 1u);
  ASSERT_EQ(writer->Close(), kErrorSuccess);
  EXPECT_EQ(fs.OpenFileCount(), 0u);
  EXPECT_EQ(fs.ReadFile(kPath), "line 1\r\nline 2\r\n");
  EXPECT_FALSE(writer->IsOpen());
  EXPECT_EQ(writer->Write(L"late"), kErrorInvalidHandle);
  EXPECT_EQ(writer->Close(), kErrorInvalidHandle);
}

TEST(CTextWriter, DestructionWritesWhatIsLeft) {
  CMemoryFileSystem fs;
  {
    auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
    ASSERT_EQ(writer->Write(L"kept\n"), kErrorSuccess);
  }
  EXPECT_EQ(fs.ReadFile(kPath), "kept\r\n");
  EXPECT_EQ(fs.OpenFileCount(), 0u);
}

TEST(CTextWriter, LargeTextArrivesWhole) {
  CMemoryFileSystem fs;
  auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
  std::string expected;
  for (int i = 0; i < 20000; ++i) {
    const std::wstring line = L"\"value" + std::to_wstring(i) + L"\"=hex:00,01,02\n";
    ASSERT_EQ(writer->Write(line), kErrorSuccess);
    expected += ToUtf8(line.substr(0, line.size() - 1)) + "\r\n";
  }
  ASSERT_GT(expected.size(), 256u * 1024u);
  ASSERT_EQ(writer->Close(), kErrorSuccess);
  EXPECT_EQ(fs.ReadFile(kPath), expected);
}

TEST(CTextWriter, AppendKeepsWhatTheFileHeld) {
  CMemoryFileSystem fs;
  fs.AddFile(kPath, "old\r\n");
  auto writer = OpenWriter(fs, FileOpenMode::kAppend);
  ASSERT_EQ(writer->Write(L"new\n"), kErrorSuccess);
  ASSERT_EQ(writer->Close(), kErrorSuccess);
  EXPECT_EQ(fs.ReadFile(kPath), "old\r\nnew\r\n");
}

TEST(CTextWriter, SplittingTheTextOverCallsChangesNoByte) {
  // A character outside the basic plane is two UTF-16 units in the Windows build; a split between
  // them must not turn it into two replacement characters.
  const std::wstring text = L"a\u00e9" + FromUtf16(u"\U0001F600") + L"\nz" + FromUtf16(u"\U00010348");
  CMemoryFileSystem fs;
  std::string whole;
  {
    auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
    ASSERT_EQ(writer->Write(text), kErrorSuccess);
    ASSERT_EQ(writer->Close(), kErrorSuccess);
    whole = *fs.ReadFile(kPath);
  }
  for (std::size_t split = 0; split <= text.size(); ++split) {
    auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
    ASSERT_EQ(writer->Write(std::wstring_view(text).substr(0, split)), kErrorSuccess);
    ASSERT_EQ(writer->Write(std::wstring_view(text).substr(split)), kErrorSuccess);
    ASSERT_EQ(writer->Close(), kErrorSuccess);
    EXPECT_EQ(fs.ReadFile(kPath), whole) << "split at " << split;
  }
  // A lone high surrogate at the very end still reaches the file.
  if constexpr (sizeof(wchar_t) == 2) {
    auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
    const wchar_t lone[] = {L'x', static_cast<wchar_t>(0xD83D), 0};
    ASSERT_EQ(writer->Write(lone), kErrorSuccess);
    ASSERT_EQ(writer->Close(), kErrorSuccess);
    EXPECT_EQ(fs.ReadFile(kPath)->size(), 2u);
    EXPECT_FALSE(writer->Lossless());
  }
}

// A file whose writes fail from the n-th on.
class CFailingFile final : public IFile {
 public:
  explicit CFailingFile(int okWrites) : m_okWrites(okWrites) {}
  ErrorCode Write(const void*, std::size_t bytes) override {
    if (m_okWrites-- <= 0) return 112;  // ERROR_DISK_FULL
    written += bytes;
    return kErrorSuccess;
  }
  ErrorCode Flush() override { return kErrorSuccess; }
  ErrorCode ReadAll(std::string*) override { return kErrorInvalidHandle; }
  std::size_t written = 0;

 private:
  int m_okWrites;
};

TEST(CTextWriter, AWriteFailureIsReportedByEveryLaterCall) {
  CMemoryFileSystem fs;
  CTextWriter writer(fs, std::make_unique<CFailingFile>(0));
  ASSERT_EQ(writer.Write(L"buffered\n"), kErrorSuccess);
  EXPECT_EQ(writer.Flush(), 112);
  EXPECT_EQ(writer.Write(L"more"), 112);
  EXPECT_EQ(writer.Flush(), 112);
  EXPECT_EQ(writer.Close(), 112);

  CTextWriter closing(fs, std::make_unique<CFailingFile>(0));
  ASSERT_EQ(closing.Write(L"x"), kErrorSuccess);
  EXPECT_EQ(closing.Close(), 112) << "the last bytes failing at close is reported";
}

// A code page whose conversions fail (as with flags the code page refuses): nothing converts.
class CNoCodePageFileSystem final : public test::CForwardingFileSystem {
 public:
  using CForwardingFileSystem::CForwardingFileSystem;
  ErrorCode ToCodePage(std::wstring_view, std::string*, bool* lossless) override {
    if (lossless != nullptr) *lossless = false;
    return kErrorNoUnicodeTranslation;
  }
  ErrorCode FromCodePage(std::string_view, std::wstring*) override {
    return kErrorNoUnicodeTranslation;
  }
};

TEST(CTextWriter, AFailedConversionIsAnErrorAndLeavesNoGap) {
  CMemoryFileSystem memory;
  CNoCodePageFileSystem fs(memory);
  std::unique_ptr<CTextWriter> writer;
  ASSERT_EQ(OpenTextWriter(fs, kPath, FileOpenMode::kCreateAlways, FileShareMode::kDenyWrite,
                           &writer),
            kErrorSuccess);
  EXPECT_EQ(writer->Write(L"REGEDIT4\n"), kErrorNoUnicodeTranslation);
  EXPECT_EQ(writer->Write(L"later"), kErrorNoUnicodeTranslation);  // nothing after the gap either
  EXPECT_EQ(writer->Write(L""), kErrorNoUnicodeTranslation);
  EXPECT_EQ(writer->Close(), kErrorNoUnicodeTranslation);
  EXPECT_EQ(memory.ReadFile(kPath), "");

  memory.AddFile(L"C:\\text.txt", "some bytes");
  std::wstring text = L"unchanged";
  EXPECT_EQ(ReadTextFile(fs, L"C:\\text.txt", &text), kErrorNoUnicodeTranslation);
  EXPECT_EQ(text, L"unchanged");
  memory.AddFile(L"C:\\empty.txt", "");
  EXPECT_EQ(ReadTextFile(fs, L"C:\\empty.txt", &text), kErrorSuccess);
  EXPECT_EQ(text, L"");
}

TEST(OpenTextWriter, FailureLeavesTheWriterAlone) {
  CMemoryFileSystem fs;
  std::unique_ptr<CTextWriter> writer;
  EXPECT_EQ(OpenTextWriter(fs, L"C:\\missing\\out.txt", FileOpenMode::kCreateAlways,
                           FileShareMode::kShareAll, &writer),
            kErrorPathNotFound);
  EXPECT_EQ(writer, nullptr);
}

TEST(SplitLines, CrLfAndLfEnds) {
  struct Case {
    std::wstring text;
    std::vector<std::wstring> lines;
  };
  const Case cases[] = {
      {L"", {}},
      {L"a", {L"a"}},
      {L"a\n", {L"a"}},
      {L"a\r\nb", {L"a", L"b"}},
      {L"a\r\nb\r\n", {L"a", L"b"}},
      {L"a\n\nb", {L"a", L"", L"b"}},
      {L"\r\n", {L""}},
      {L"\n\n", {L"", L""}},
      {L"a\rb\n", {L"a\rb"}},
      {L"a\r\r\n", {L"a\r"}},
      {L"a\r", {L"a\r"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitLines(c.text), c.lines) << ToUtf8(c.text);
  }
}

TEST(ReadTextLines, ReadsBackWhatTheWriterWrote) {
  CMemoryFileSystem fs;
  auto writer = OpenWriter(fs, FileOpenMode::kCreateAlways);
  ASSERT_EQ(writer->Write(L"first \u00e9\u00fc\n\nthird\n"), kErrorSuccess);
  ASSERT_EQ(writer->Close(), kErrorSuccess);
  std::vector<std::wstring> lines;
  ASSERT_EQ(ReadTextLines(fs, kPath, &lines), kErrorSuccess);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"first \u00e9\u00fc", L"", L"third"}));

  fs.AddFile(L"C:\\lf.wls", "one\ntwo\xE9");
  ASSERT_EQ(ReadTextLines(fs, L"C:\\lf.wls", &lines), kErrorSuccess);
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"one", L"two\u00e9"}));

  lines = {L"unchanged"};
  EXPECT_EQ(ReadTextLines(fs, L"C:\\none.wls", &lines), kErrorFileNotFound);
  EXPECT_EQ(lines, std::vector<std::wstring>{L"unchanged"});
  EXPECT_EQ(fs.OpenFileCount(), 0u);
}

}  // namespace
}  // namespace qv
