#include "frontend/StringTable.h"

#include <array>
#include <cstdio>
#include <utility>

namespace ov::frontend {
namespace {

constexpr std::pair<int, const char*> kStrings[] = {
    {102, "Welcome to Orvanti"},
    {103, "This is your first launch. Please select your language preference."},
    {104, "Add Token"},
    {105, "Delete Token"},
    {106, "Continue"},
    {107, "Press 'Continue' to create, enroll, and activate a new token."},
    {108, "Activate"},
    {109, "Cancel"},
    {110, "Change Token PIN"},
    {111, "Current Token PIN"},
    {112, "Activate Later"},
    {113, "Create New Token"},
    {114, "New token name"},
    {115, "Auto Enrollment"},
    {116, "User ID"},
    {117, "User Password"},
    {118, "OTP Mode:"},
    {119, "Policy String:"},
    {120, "Token PIN Set:"},
    {122, "Serial Number:"},
    {123, "Copyright (C) 2026 Kelsa. All rights reserved."},
    {124, "Version:"},
    {126, "Manual Enrollment"},
    {127, "Token Policy String"},
    {128, "Set a Token PIN"},
    {129, "Token PIN"},
    {130, "Re-enter Token PIN"},
    {131, "Activation Code"},
    {132, "Change Token Name"},
    {133, "Next Challenge"},
    {134, "Your Passcode"},
    {135, "New token name"},
    {136, "Token name has been changed. Press 'Continue' to generate a passcode."},
    {137, "Delete"},
    {138, "Token PIN has been changed. Press 'Continue' to generate a passcode."},
    {139, "Token Authentication"},
    {140, "Challenge Code"},
    {141, "Deactivate Token"},
    {142, "You are about to deactivate this token. You should activate it again before it can be "
          "used. Contact your administrator for details."},
    {143, "Deactivate"},
    {144, "Delete Token"},
    {145, "You are about to delete this token. Warning: A deleted token can never be used again."},
    {146, "Token Enrollment"},
    {147, "Select a method for enrolling this token."},
    {148, "Auto Enrollment"},
    {149, "Manual Enrollment"},
    {150, "Enrollment String"},
    {151, "OTP PIN"},
    {152, "Change Token PIN"},
    {153, "New Token PIN"},
    {154, "Re-enter your new PIN"},
    {155, "Generate Passcode"},
    {156, "Generate Passcode"},
    {157, "Token Authentication"},
    {158, "Token PIN"},
    {160, "Invalid Token Pin. Please re-enter your PIN."},
    {162, "The token has been deactivated."},
    {164, "Challenge Code does not meet requirements."},
    {165, "Token PIN does not meet requirements."},
    {166, "Token name does not meet requirements."},
    {167, "Token PINs do not match."},
    {168, "This token is not activated. Press 'Activate' to complete its activation."},
    {169, "Portal URL does not meet requirements. Enter a value beginning with https://"},
    {170, "User-ID and Password does not meet complexity requirements."},
    {171, "Invalid Soft PIN. Please re-enter your Soft PIN."},
    {172, "The new Token PIN should be different from the current Token PIN."},
    {173, "Policy Level:"},
    {176, "Challenge Code does not meet requirements."},
    {177, "Next Passcode in"},
    {178, "Orvanti"},
    {179, "Deactivate Token"},
    {180, "Token Information"},
    {181, "Back"},
    {182, "List"},
    {183, "Use the Activation Code to activate the token on your device. Press 'Continue' only "
          "after successful activation."},
    {184, "If you do not have a Token Policy String, simply press 'Continue'."},
    {185, "A Token PIN should be %d alphanumeric characters."},
    {186, "Attempt: %d/%d. After %d unsuccessful attempts, your token will need to be activated "
          "again."},
    {187, "Inactive Token"},
    {188, "This token is not activated. Press 'Activate' to set its Token PIN."},
    {189, "Auto Enrollment failed. Try again, or contact your administrator for help. You can "
          "also try Manual Enrollment."},
    {190, "OTP PIN should contain between %d to %d decimal or alphanumeric characters."},
    {191, "You already have a token with this name. Enter a different token name."},
    {192, "Token name does not meet requirements."},
    {193, "Change Token Name"},
    {194, "Token Policy String does not meet requirements."},
    {195, "OTP PIN does not meet requirements."},
    {196, "Challenge Code should be %d characters."},
    {197, "Event-Based"},
    {198, "Time-Based"},
    {199, "Challenge-Response"},
    {200, "Multi-Host"},
    {201, "Application Information"},
    {202, "Token name does not meet requirements."},
    {203, "Your token is temporarily disabled."},
    {204, "The Orvanti client application is already running."},
    {205, "Orvanti"},
    {206, "Try again after %d minute(s)."},
    {207, "Yes"},
    {208, "No"},
    {209, "Attempts: %d/%d."},
    {210, "After %d unsuccessful attempts, your token will need to be activated again."},
    {213, "An application error has occurred. Contact your administrator."},
    {214, "seconds"},
    {215, "OTP PINs do not match."},
    {216, "OTP PIN should contain between %d to %d alphanumeric characters and have at least one "
          "numeral, lower-case and upper-case character."},
    {218, "OTP PIN should contain %d decimal or alphanumeric characters."},
    {225, "Token PIN should be %d characters and have at least one numeral, lower-case, and "
          "upper-case character."},
    {226, "The enrollment string has been automatically copied from the clipboard"},
    {227, "Re-enter OTP PIN"},
    {228, "Token PIN should contain minimum %d alphanumeric characters."},
    {229, "Token PIN must be %d numeric or alphanumeric and cannot contain a string of repeated "
          "or sequential characters."},
    {231, "Token PIN must be %d characters and have at least one numeral, lower-case, and "
          "upper-case character."},
    {232, "OTP PIN should contain %d alphanumeric characters and have at least one numeral, "
          "lower-case and upper-case character."},
    // Texts of the desktop application beyond the original table.
    {300, "About Orvanti"},
    {301, "This is a multi-host token. Its passcodes cannot be shown by this application."},
    {302, "The token could not be deactivated. Try again, or contact your administrator."},
    {303, "The token could not be deleted. Try again, or contact your administrator."},
    {304, "Orvanti shows the one-time passcodes of your tokens."},
    {305, "Menu"},
    {306, "Token list"},
    {307, "Copy"},
    {308, "The passcode is on the clipboard for 30 seconds."},
    {409, "The activation code shown will no longer be valid. Do you want to continue?"},
    {410, "The activation code is on the clipboard for 30 seconds."},
    {509, "Quit"},
    {510, "Enroll a token with the server %1 as the user %2?\n\nGo on only if your administrator "
          "gave you this enrollment."},
    {511, "Enrolling the token. This may take a minute."},
    {516, "The enrollment string on standard input is longer than 64 KiB; it was not read."},
    {517, "You already have %d tokens, the most there can be. Delete a token before you create a "
          "new one."},
    {600, "The enrollment server could not be reached. Check the address and your network "
          "connection."},
    {601, "The enrollment server's certificate is not trusted."},
    {602, "The enrollment server refused the user ID or password."},
    {603, "The enrollment server gave an answer that could not be used."},
};

// Fills up to three %d placeholders in order; the texts hold no other conversions.
std::string Format(const char* text, std::array<int, 3> values) {
  std::string out;
  std::size_t next = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 'd' && next < values.size()) {
      out += std::to_string(values[next++]);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

const char* OVString(int id) {
  for (const auto& [number, text] : kStrings) {
    if (number == id) return text;
  }
  return "";
}

std::string LoadOVString(int id, int a) { return Format(OVString(id), {a, a, a}); }

std::string LoadOVString(int id, int a, int b) { return Format(OVString(id), {a, b, b}); }

}  // namespace ov::frontend
