// The program's texts by their string-table number, shared by the front ends so that the command
// line and the desktop application say the same thing in the same words.
#pragma once

#include <string>

namespace ov::frontend {

// The text of string `id`, or an empty text for a number the table does not hold.
const char* OVString(int id);

// The text of string `id` with its %d placeholders filled from a and, when present, b (the second
// form passes b twice, for texts whose last two placeholders show the same number).
std::string LoadOVString(int id, int a);
std::string LoadOVString(int id, int a, int b);

}  // namespace ov::frontend
