// The four installer windows as data: window properties and controls
// (front to back), in twips.
#pragma once

#include "windows/runtime/description.h"

namespace glyphary::windows {

// Control IDs of the child windows, for the windows themselves and for the
// test driver that finds controls in a running installer.
namespace ids {
constexpr int kForm1Label2 = 101, kForm1Label1 = 102, kForm1Image1 = 103;
constexpr int kForm2Command2 = 201, kForm2Command1 = 202, kForm2Text1 = 203;
constexpr int kForm3Frame1 = 301, kForm3Intf = 302;
constexpr int kForm4Command1 = 401, kForm4Frame1 = 402, kForm4Label1 = 403, kForm4Chk = 404;
}  // namespace ids

FormDescription DescribeForm1();  // splash
FormDescription DescribeForm2();  // agreement
FormDescription DescribeForm3();  // progress
FormDescription DescribeForm4();  // finish

}  // namespace glyphary::windows
