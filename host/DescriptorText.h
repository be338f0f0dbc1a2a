#pragma once

#include "host/ActionDescriptor.h"

#include <string>

namespace host {

// A readable form of a descriptor, one key a line:
//
//   'Intn' long 75
//   'Ssps' doub 0.25
//   'SEmo' bool true
//   'SEna' TEXT "Soft \"glow\"\n"
//   'Wdth' UntF '#Pxl' 12.5
//   'Mthd' enum 'Mthd' 'Fst '
//   'Clss' type 'Lyr '
//   'Big ' comp -5000000000
//   'Blob' tdta 00ff10
//
// Keys and codes are four characters in single quotes (quotes may be left
// out when the code has no space). Texts are UTF-8 in double quotes with the
// escapes \" \\ \n \t and \uXXXX. Blank lines and lines starting with '#'
// are ignored. Objects and lists have no line form: writing one puts a
// comment line in its place.
std::string descriptorToText(const ActionDescriptor& descriptor);

// False, with the line number and the reason in `error`, when a line does
// not parse.
bool descriptorFromText(const std::string& text, ActionDescriptor& descriptor, std::string& error);

// One line's worth ("'Intn' long 75"), added to `descriptor`.
bool addDescriptorLine(const std::string& line, ActionDescriptor& descriptor, std::string& error);

} // namespace host
