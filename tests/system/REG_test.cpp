// The registry helpers against the real registry, checked through the API in a named view.
#include "system/REG.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "env/apptools2.h"
#include "support/registry.h"
#include "support/scoped_seams.h"
#include "support/test_env.h"
#include "win/entry_points.h"

namespace {

using testenv::NativeView;
using Bytes = std::vector<std::uint8_t>;
using namespace std::string_literals;

// Both views under WOW64; 32-bit Windows has only one.
std::vector<REGSAM> AllViews() {
  return testenv::IsWow64() ? std::vector<REGSAM>{KEY_WOW64_64KEY, KEY_WOW64_32KEY}
                            : std::vector<REGSAM>{0};
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app::StartUp();
    key_ = L"SOFTWARE\\TW6Test-" + std::to_wstring(::GetCurrentProcessId());
    Clean();
  }
  void TearDown() override {
    Clean();
    app::StartUp();
  }
  void Clean() {
    for (REGSAM view : AllViews()) testenv::DeleteTree(HKEY_LOCAL_MACHINE, key_, view);
  }
  std::wstring Key(const std::wstring& below = L"") const {
    return below.empty() ? key_ : key_ + L"\\" + below;
  }
  std::wstring key_;
};

TEST_F(RegistryTest, StartUpTakesTheViewFromIsWow64Process) {
  EXPECT_EQ(apptools2::Is64BitWindows, testenv::IsWow64());
  // Vista and XP x64 have it; 32-bit XP and 2000 do not (Wine has it in every version).
  EXPECT_EQ(win::Entries().regDeleteKeyEx != nullptr,
            testenv::IsWine() || !testenv::IsXp() || testenv::IsWow64());

  // Without IsWow64Process no view flag is added: under WOW64 the write is redirected.
  ScopedSeams<win::EntryPoints> entries(win::Entries());
  entries->isWow64Process = nullptr;
  apptools2::StartUp();
  EXPECT_FALSE(apptools2::Is64BitWindows);
  ASSERT_TRUE(REG::RegistryWriteString(HKEY_LOCAL_MACHINE, Key(), L"v", L"x"));
  const REGSAM redirected = testenv::IsWow64() ? KEY_WOW64_32KEY : 0;
  EXPECT_TRUE(testenv::ReadValue(HKEY_LOCAL_MACHINE, Key(), L"v", redirected).found);
  if (testenv::IsWow64()) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(), KEY_WOW64_64KEY));
  }
}

struct WriteCase {
  const char* name;
  const wchar_t* valueName;
  DWORD type;
  const wchar_t* text;  // for the two text writers
  DWORD number;         // for the DWORD writer
  Bytes expected;
};

void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class RegistryWriteTest : public RegistryTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(RegistryWriteTest, StoresExactTypeAndBytesInTheNativeViewOnly) {
  const WriteCase& c = GetParam();
  const std::wstring path = Key(L"created\\on the way");
  bool written = false;
  switch (c.type) {
    case REG_SZ:
      written = REG::RegistryWriteString(HKEY_LOCAL_MACHINE, path, c.valueName, c.text);
      break;
    case REG_EXPAND_SZ:
      written = REG::RegistryWriteExpandString(HKEY_LOCAL_MACHINE, path, c.valueName, c.text);
      break;
    default:
      written = REG::RegistryWriteDword(HKEY_LOCAL_MACHINE, path, c.valueName, c.number);
  }
  ASSERT_TRUE(written);
  const testenv::RawValue value =
      testenv::ReadValue(HKEY_LOCAL_MACHINE, path, c.valueName, NativeView());
  ASSERT_TRUE(value.found);
  EXPECT_EQ(value.type, c.type);
  EXPECT_EQ(value.bytes, c.expected);
  if (testenv::IsWow64()) {
    EXPECT_FALSE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(), KEY_WOW64_32KEY));
  }

  // A second write overwrites in place.
  ASSERT_TRUE(REG::RegistryWriteDword(HKEY_LOCAL_MACHINE, path, c.valueName, 7));
  EXPECT_EQ(testenv::ReadValue(HKEY_LOCAL_MACHINE, path, c.valueName, NativeView()).bytes,
            (Bytes{7, 0, 0, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryWriteTest,
    ::testing::Values(WriteCase{"ExpandFltMgr", L"DependOnService", REG_EXPAND_SZ, L"FltMgr", 0,
                                testenv::TextBytes(L"FltMgr")},
                      WriteCase{"EmptyExpandHasNoBytes", L"DependOnGroup", REG_EXPAND_SZ, L"", 0,
                                Bytes{}},
                      WriteCase{"EmptyStringHasNoBytes", L"s", REG_SZ, L"", 0, Bytes{}},
                      WriteCase{"DefaultValue", L"", REG_SZ, L"Install with", 0,
                                testenv::TextBytes(L"Install with")},
                      WriteCase{"DwordLittleEndian", L"Flags", REG_DWORD, nullptr, 0x01020304u,
                                Bytes{4, 3, 2, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
  const char* name;
  DWORD type;
  Bytes data;
  const wchar_t* expected;
};

Bytes Utf16(const std::u16string& text) {  // without a terminating NUL
  Bytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class RegistryReadTest : public RegistryTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(RegistryReadTest, ReadsTextByType) {
  const ReadCase& c = GetParam();
  ASSERT_TRUE(testenv::WriteValue(HKEY_LOCAL_MACHINE, Key(), L"v", c.type, c.data.data(),
                                  static_cast<DWORD>(c.data.size()), NativeView()));
  EXPECT_EQ(REG::RegistryReadText(HKEY_LOCAL_MACHINE, Key(), L"v"), c.expected);
  EXPECT_TRUE(REG::RegistryValueExists(HKEY_LOCAL_MACHINE, Key(), L"v"));
}

INSTANTIATE_TEST_SUITE_P(
    Types, RegistryReadTest,
    ::testing::Values(
        ReadCase{"MultiSzFirstString", REG_MULTI_SZ, Utf16(u"first\0second\0\0"s), L"first"},
        ReadCase{"DwordAllOnes", REG_DWORD, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
        ReadCase{"QwordTopBitNegative", REG_QWORD, Bytes{1, 0, 0, 0, 0, 0, 0, 0x80},
                 L"-9223372036854775807"},
        ReadCase{"SzWithoutNul", REG_SZ, Utf16(u"abc"), L"abc"},
        ReadCase{"ExpandUnexpanded", REG_EXPAND_SZ, testenv::TextBytes(L"%WINDIR%\\x"),
                 L"%WINDIR%\\x"},
        ReadCase{"BinaryAsText", REG_BINARY, Utf16(u"hi\0zz"s), L"hi"},
        ReadCase{"ZeroBytes", REG_SZ, Bytes{}, L""},
        ReadCase{"SingleByteSz", REG_SZ, Bytes{'a'}, L""},
        ReadCase{"OtherType", REG_LINK, Utf16(u"abc"), L""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, MissingKeysAndValuesAndTheOtherViewReadAsAbsent) {
  EXPECT_EQ(REG::RegistryReadText(HKEY_LOCAL_MACHINE, Key(), L"v"), L"");
  EXPECT_FALSE(REG::RegistryKeyExists(HKEY_LOCAL_MACHINE, Key()));
  ASSERT_TRUE(testenv::CreateKey(HKEY_LOCAL_MACHINE, Key(), NativeView()));
  EXPECT_TRUE(REG::RegistryKeyExists(HKEY_LOCAL_MACHINE, Key()));
  EXPECT_FALSE(REG::RegistryValueExists(HKEY_LOCAL_MACHINE, Key(), L"v"));
  EXPECT_EQ(REG::RegistryReadText(HKEY_LOCAL_MACHINE, Key(), L"v"), L"");

  if (!testenv::IsWow64()) return;  // one view only
  ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, Key(L"only32"), L"v", L"32", KEY_WOW64_32KEY));
  EXPECT_FALSE(REG::RegistryKeyExists(HKEY_LOCAL_MACHINE, Key(L"only32")));
  EXPECT_EQ(REG::RegistryReadText(HKEY_LOCAL_MACHINE, Key(L"only32"), L"v"), L"");
}

TEST_F(RegistryTest, DeleteValueTouchesOnlyThatValueInTheNativeView) {
  for (REGSAM view : AllViews()) {
    ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, Key(), L"Guard", L"x", view));
    ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, Key(), L"Guard 2", L"y", view));
  }
  EXPECT_TRUE(REG::RegistryDeleteValue(HKEY_LOCAL_MACHINE, Key(), L"Guard"));
  EXPECT_FALSE(testenv::ReadValue(HKEY_LOCAL_MACHINE, Key(), L"Guard", NativeView()).found);
  EXPECT_TRUE(testenv::ReadValue(HKEY_LOCAL_MACHINE, Key(), L"Guard 2", NativeView()).found);
  if (testenv::IsWow64()) {
    EXPECT_TRUE(testenv::ReadValue(HKEY_LOCAL_MACHINE, Key(), L"Guard", KEY_WOW64_32KEY).found);
  }
  EXPECT_FALSE(REG::RegistryDeleteValue(HKEY_LOCAL_MACHINE, Key(), L"Guard"));
  EXPECT_FALSE(REG::RegistryDeleteValue(HKEY_LOCAL_MACHINE, Key(L"missing"), L"Guard"));
}

// The key-tree deletion with RegDeleteKeyExW and without it (older systems lack it).
class RegistryKeyTreeTest : public RegistryTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    if (!GetParam()) entries_->regDeleteKeyEx = nullptr;
  }
  ScopedSeams<win::EntryPoints> entries_{win::Entries()};
};

TEST_P(RegistryKeyTreeTest, RemovesNestedSubkeysAndLeavesTheOtherView) {
  for (const wchar_t* below : {L"tree\\a\\b\\c", L"tree\\a\\d", L"tree\\e", L"keep"}) {
    ASSERT_TRUE(testenv::WriteText(HKEY_LOCAL_MACHINE, Key(below), L"v", L"x", NativeView()));
  }
  if (testenv::IsWow64()) {
    ASSERT_TRUE(testenv::CreateKey(HKEY_LOCAL_MACHINE, Key(L"tree"), KEY_WOW64_32KEY));
  }
  EXPECT_TRUE(REG::RegistryDeleteKeyTree(HKEY_LOCAL_MACHINE, Key(L"tree")));
  EXPECT_FALSE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(L"tree"), NativeView()));
  EXPECT_TRUE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(L"keep"), NativeView()));
  if (testenv::IsWow64()) {
    EXPECT_TRUE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(L"tree"), KEY_WOW64_32KEY))
        << "a namesake in the 32-bit view was deleted";
  }
}

TEST_P(RegistryKeyTreeTest, MissingTreeIsSuccess) {
  EXPECT_TRUE(REG::RegistryDeleteKeyTree(HKEY_LOCAL_MACHINE, Key(L"never\\there")));
  if (testenv::IsWow64()) {
    // Present only in the 32-bit view: not ours to delete, and absent from ours.
    ASSERT_TRUE(testenv::CreateKey(HKEY_LOCAL_MACHINE, Key(L"only32"), KEY_WOW64_32KEY));
    EXPECT_TRUE(REG::RegistryDeleteKeyTree(HKEY_LOCAL_MACHINE, Key(L"only32")));
    EXPECT_TRUE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(L"only32"), KEY_WOW64_32KEY));
  }
}

TEST_P(RegistryKeyTreeTest, AnEmptyPathNeverEmptiesTheRoot) {
  ASSERT_TRUE(testenv::CreateKey(HKEY_LOCAL_MACHINE, Key(L"child"), NativeView()));
  HKEY root = nullptr;
  ASSERT_EQ(
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, Key().c_str(), 0, KEY_ALL_ACCESS | NativeView(), &root),
      ERROR_SUCCESS);
  EXPECT_FALSE(REG::RegistryDeleteKeyTree(root, L""));
  EXPECT_FALSE(REG::RegistryDeleteKeyTree(root, L"\\"));
  ::RegCloseKey(root);
  EXPECT_TRUE(testenv::KeyExists(HKEY_LOCAL_MACHINE, Key(L"child"), NativeView()));
}

INSTANTIATE_TEST_SUITE_P(Paths, RegistryKeyTreeTest, ::testing::Bool(), [](const auto& info) {
  return info.param ? "WithRegDeleteKeyEx" : "WithoutRegDeleteKeyEx";
});

}  // namespace
