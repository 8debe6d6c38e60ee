#pragma once

#include <cstddef>
#include <string>

// Whether a user who is not an administrator could change or swap a file or folder: nothing
// that runs in the kernel or for an administrator is registered from such a place.
namespace win {

enum class ObjectKind { File, Folder };

// The rule over a self-relative security descriptor. Administrator-equivalent are SYSTEM,
// Administrators, TrustedInstaller, Power Users (who can make themselves administrators) and
// tokenUser (an administrator owns what he creates on XP); anyone else who owns the object, or
// is granted a right that changes or swaps it, makes it replaceable. So does a NULL, missing or
// malformed DACL. tokenUser may be empty.
bool DescriptorReplaceable(const void* descriptor, size_t length, ObjectKind kind,
                           const void* tokenUser, size_t tokenUserLength);

// The rule for folder, or for the file of that name in it, with the owner and DACL the system
// reports, judged for this process's user; true when they cannot be read. A file that is not
// there is not (its folder decides who may put one there); a folder that is not there is. A
// drive ("C:") stands for its root.
bool Replaceable(const std::wstring& folder, const wchar_t* file);

}  // namespace win
