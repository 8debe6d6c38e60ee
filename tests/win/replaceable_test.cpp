// Who could swap a file or folder: the rule over descriptors as Windows ships them and as users
// leave them, and the reading of real files' descriptors.
#include "win/replaceable.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "support/file_security.h"
#include "support/test_env.h"

namespace {

using win::ObjectKind;
using Bytes = std::vector<std::uint8_t>;

constexpr wchar_t kUser[] = L"S-1-5-21-1-2-3-1000";  // the program's own token user here
#define TI L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"

struct Case {
  const char* name;
  ObjectKind kind;
  const wchar_t* sddl;
  bool replaceable;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

bool Judge(ObjectKind kind, const Bytes& descriptor) {
  const Bytes user = testenv::SidFromText(kUser);
  return win::DescriptorReplaceable(descriptor.data(), descriptor.size(), kind, user.data(),
                                    user.size());
}

class DescriptorTest : public ::testing::TestWithParam<Case> {};

TEST_P(DescriptorTest, ReplaceableWhenSomeoneButAnAdministratorCouldChangeOrSwapIt) {
  const Bytes descriptor = testenv::DescriptorFromSddl(GetParam().sddl);
  ASSERT_FALSE(descriptor.empty());
  EXPECT_EQ(Judge(GetParam().kind, descriptor), GetParam().replaceable);
}

const Case kCases[] = {
    // Program Files as each system ships it, and a program right in the root of 10's C:.
    {"ProgramFiles10", ObjectKind::Folder,
     L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)"
     L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
     L"(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)"
     L"(A;OICIIO;GXGR;;;S-1-15-2-1)(A;;0x1200a9;;;S-1-15-2-2)(A;OICIIO;GXGR;;;S-1-15-2-2)",
     false},
    {"ProgramFiles7", ObjectKind::Folder,
     L"O:" TI L"G:" TI L"D:PAI(A;;FA;;;" TI L")(A;CIIO;GA;;;" TI L")(A;;0x1301bf;;;SY)"
     L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)"
     L"(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)",
     false},
    {"ProgramFilesXp", ObjectKind::Folder,
     L"O:BAG:SYD:PAI(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;;0x1301bf;;;PU)"
     L"(A;OICIIO;SDGXGWGR;;;PU)(A;;FA;;;BA)(A;OICIIO;GA;;;BA)(A;;FA;;;SY)(A;OICIIO;GA;;;SY)"
     L"(A;OICIIO;GA;;;CO)",
     false},
    {"ProgramFiles2000", ObjectKind::Folder,
     L"O:BAG:SYD:PAI(A;OICI;0x1200a9;;;WD)(A;OICI;0x1301bf;;;PU)(A;OICI;FA;;;BA)"
     L"(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)",
     false},
    {"RootOf10", ObjectKind::Folder,
     L"O:SYG:SYD:PAI(A;OICIIO;SDGXGWGR;;;AU)(A;;LC;;;AU)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
     L"(A;OICI;0x1200a9;;;BU)",
     false},
    {"FolderMadeInRootOf10", ObjectKind::Folder,
     L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
     L"(A;OICIIOID;SDGXGWGR;;;AU)",
     true},
    {"FolderMadeInRootOfXp", ObjectKind::Folder,
     L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIIOID;GA;;;CO)(A;OICIID;0x1200a9;;;BU)"
     L"(A;CIID;0x4;;;BU)(A;CIID;0x2;;;BU)",
     true},
    // Rights that let a standard user change or swap the object.
    {"FileWriteEveryone", ObjectKind::File, L"O:BAD:(A;;FA;;;BA)(A;;0x2;;;WD)", true},
    {"FileGenericWriteUsers", ObjectKind::File, L"O:BAD:(A;;FA;;;BA)(A;;GW;;;BU)", true},
    {"FileAppendAuthenticated", ObjectKind::File, L"O:BAD:(A;;0x4;;;AU)", true},
    {"FileDeleteUsers", ObjectKind::File, L"O:BAD:(A;;SD;;;BU)", true},
    {"FileWriteDacUsers", ObjectKind::File, L"O:BAD:(A;;WD;;;BU)", true},
    {"FileWriteOwnerUsers", ObjectKind::File, L"O:BAD:(A;;WO;;;BU)", true},
    {"FileReadAndAttributesUsers", ObjectKind::File, L"O:BAD:(A;;GR;;;BU)(A;;0x180;;;WD)", false},
    {"FolderAddFileEveryone", ObjectKind::Folder, L"O:BAD:(A;;0x2;;;WD)", true},
    {"FolderDeleteChildUsers", ObjectKind::Folder, L"O:BAD:(A;;0x40;;;BU)", true},
    {"FolderGenericAllAuthenticated", ObjectKind::Folder, L"O:BAD:(A;;GA;;;AU)", true},
    {"FolderAddSubfolderUsers", ObjectKind::Folder, L"O:BAD:(A;;0x4;;;BU)", false},
    {"FolderInheritOnlyEveryone", ObjectKind::Folder, L"O:BAD:(A;OICIIO;GA;;;WD)", false},
    // Deny ACEs, in ACL order, for every holder of the allowed SID.
    {"DenyEveryoneBeforeUsers", ObjectKind::File, L"O:BAD:(D;;FW;;;WD)(A;;FW;;;BU)", false},
    {"DenyAfterAllow", ObjectKind::File, L"O:BAD:(A;;FW;;;BU)(D;;FW;;;WD)", true},
    {"DenyUsersBeforeEveryone", ObjectKind::File, L"O:BAD:(D;;FW;;;BU)(A;;FW;;;WD)", true},
    {"DenyUsersBeforeUsers", ObjectKind::File, L"O:BAD:(D;;GA;;;BU)(A;;GA;;;BU)", false},
    {"DenyEveryoneBeforeAnonymous", ObjectKind::File, L"O:BAD:(D;;FA;;;WD)(A;;FA;;;AN)", true},
    {"DenyPartBeforeAll", ObjectKind::File, L"O:BAD:(D;;0x2;;;BU)(A;;FA;;;BU)", true},
    {"DenyInheritOnly", ObjectKind::File, L"O:BAD:(D;OIIO;FW;;;WD)(A;;FW;;;BU)", true},
    // Owners and the administrator-equivalent.
    {"OwnedByAUser", ObjectKind::File, L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;BA)", true},
    {"OwnedByTheTokenUser", ObjectKind::File,
     L"O:S-1-5-21-1-2-3-1000D:(A;;FA;;;S-1-5-21-1-2-3-1000)(A;;FA;;;SY)", false},
    {"GrantedToAnotherUser", ObjectKind::File, L"O:BAD:(A;;FA;;;S-1-5-21-1-2-3-1001)", true},
    {"PowerUsersAndTrustedInstaller", ObjectKind::Folder,
     L"O:PUD:(A;;FA;;;PU)(A;;FA;;;" TI L")(A;;FA;;;OW)", false},
    // No DACL to speak of.
    {"NoDacl", ObjectKind::File, L"O:BA", true},
    {"EmptyDacl", ObjectKind::File, L"O:BAD:", false},
    {"NoOwner", ObjectKind::File, L"D:(A;;FA;;;BA)", true},
};

INSTANTIATE_TEST_SUITE_P(Descriptors, DescriptorTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Bytes as the system holds them: a cut descriptor, and ACE kinds that SDDL of 2000 and XP
// cannot write.
TEST(DescriptorBytesTest, CutDescriptorsAndOtherAceKindsCountAsReplaceable) {
  const Bytes whole = testenv::DescriptorFromSddl(L"O:BAD:(D;;FW;;;WD)(A;;FA;;;SY)(A;;FW;;;BU)");
  ASSERT_FALSE(whole.empty());
  ASSERT_FALSE(Judge(ObjectKind::File, whole));
  for (size_t length = 0; length < whole.size(); ++length) {
    EXPECT_TRUE(win::DescriptorReplaceable(whole.data(), length, ObjectKind::File, nullptr, 0))
        << length;
  }

  const auto* header = reinterpret_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(whole.data());
  const size_t firstAce = header->Dacl + sizeof(ACL);
  const size_t secondAce = firstAce + whole[firstAce + 2];  // ACE sizes are below 256 here
  struct Patch {
    size_t at;
    std::uint8_t type;
  };
  // A deny whose condition or object may not apply denies nothing; an object or unknown
  // allow grants its rights to anyone, SYSTEM's ACE included.
  for (const Patch patch :
       {Patch{firstAce, ACCESS_DENIED_CALLBACK_ACE_TYPE},
        Patch{firstAce, ACCESS_DENIED_OBJECT_ACE_TYPE},
        Patch{secondAce, ACCESS_ALLOWED_OBJECT_ACE_TYPE}, Patch{secondAce, 0x7f}}) {
    Bytes patched = whole;
    patched[patch.at] = patch.type;
    EXPECT_TRUE(Judge(ObjectKind::File, patched)) << int{patch.type};
  }
  // A NULL DACL: present, at offset 0 (Wine's SDDL makes an empty one of NO_ACCESS_CONTROL).
  Bytes nullDacl = testenv::DescriptorFromSddl(L"O:BA");
  ASSERT_FALSE(nullDacl.empty());
  auto* nullHeader = reinterpret_cast<SECURITY_DESCRIPTOR_RELATIVE*>(nullDacl.data());
  nullHeader->Control |= SE_DACL_PRESENT;
  nullHeader->Dacl = 0;
  EXPECT_TRUE(Judge(ObjectKind::File, nullDacl));

  Bytes callback = whole;
  callback[secondAce] = ACCESS_ALLOWED_CALLBACK_ACE_TYPE;  // to SYSTEM: still SYSTEM's
  EXPECT_FALSE(Judge(ObjectKind::File, callback));
}

// Real descriptors, read back from the file system: what this process makes is its own, and
// one that grants Everyone full control is not.
TEST(ReplaceableTest, ReadsTheFileSystemsDescriptorsForThisProcesssUser) {
  testenv::ScratchFolder folder(L"replaceable");
  const std::wstring& path = folder.path();
  EXPECT_FALSE(win::Replaceable(path, nullptr));
  EXPECT_FALSE(win::Replaceable(path, L"IFS32.sys"));  // not there
  EXPECT_FALSE(win::Replaceable(folder / L"none", L"IFS32.sys"));
  EXPECT_TRUE(win::Replaceable(folder / L"none", nullptr));
  testenv::WriteFileText(folder / L"IFS32.sys", "driver");
  EXPECT_FALSE(win::Replaceable(path, L"IFS32.sys"));

  ASSERT_TRUE(testenv::GrantEveryoneFullControl(folder / L"IFS32.sys"));
  EXPECT_TRUE(win::Replaceable(path, L"IFS32.sys"));
  EXPECT_FALSE(win::Replaceable(path, nullptr));
  ASSERT_TRUE(testenv::GrantEveryoneFullControl(path));
  EXPECT_TRUE(win::Replaceable(path, nullptr));
}

}  // namespace
