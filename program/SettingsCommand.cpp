#include <cstdio>
#include <functional>
#include <initializer_list>
#include <vector>

#include "complaints/Templates.h"
#include "filtering/FilterTypes.h"
#include "message/QStrings.h"
#include "program/CommandLine.h"
#include "program/CommandSupport.h"
#include "program/ListOutput.h"
#include "shell/Settings.h"

namespace tarnwell {

namespace {

const char* const kUsage =
    "Usage: tarnwell [--home DIR] settings list [--json]\n"
    "       tarnwell [--home DIR] settings get NAME\n"
    "       tarnwell [--home DIR] settings set NAME VALUE\n"
    "The settings of the settings dialog, by the names the settings store gives them (letter\n"
    "case ignored). list prints \"name<TAB>value\" lines (with --json one object per line with\n"
    "\"name\" and \"value\"), get the value alone. set checks the value as the dialog does and\n"
    "refuses while Tarnwell runs on the folder, which would write its own settings over it.\n"
    "Values: 1 or 0 (also yes or no) for a switch; numbers within the dialog's limits:\n"
    "  AutoPurgeDays 1-365, HidePopUpAfter 1-60, AutoReadAfter 1-60, NumRecentComplaints\n"
    "  1-1000 (only while RecentComplaints is 1), FTPProxyPort 0-65535, SkipSize 1024-33553408\n"
    "  bytes in whole kilobytes, IconMode 0-2, StdAction 1-5 (or accept, mark, kill, complain,\n"
    "  error-message), FontSize 8, 10, 12 or 14, PrinterFontSize 8, 10 or 12;\n"
    "  ActiveFilters: the filter kinds to use, of sender, subject, text, country and header,\n"
    "  separated by commas, or none; RemoveAddr and ComplainAddr: the recipients, of sender,\n"
    "  reply-to, abuse, postmaster and webmaster;\n"
    "  UserComplaint, AdminComplaint, RemoveComplaint: the name of a complaint template;\n"
    "  EmailClient (at most 255 characters), FTPProxyName (at most 50), PrinterFont: text.\n"
    "The password protection is set in the settings dialog only.\n";

enum class TValueKind { Switch, Number, Text };

// A setting the command reads and writes: its text, and the check of a new value, which
// raises TUsageError with the dialog's message.
struct TSettingRule {
  const char* name;
  TValueKind kind;
  std::function<std::string(const TSettings&)> get;
  std::function<void(TSettings&, const std::string&)> set;
};

[[noreturn]] void Refuse(const char* name, const std::string& text) {
  throw TUsageError(std::string(name) + ": " + text);
}

int32_t Number(const char* name, const std::string& text, int32_t low, int32_t high) {
  int64_t value = 0;
  if (!ToInteger(text, value) || value < low || value > high)
    Refuse(name, "You must enter a number between " + std::to_string(low) + " and " +
                     std::to_string(high) + " in this field.");
  return static_cast<int32_t>(value);
}

TSettingRule Switch(const char* name, bool TSettings::*field) {
  return {name, TValueKind::Switch,
          [field](const TSettings& s) { return std::string(s.*field ? "1" : "0"); },
          [name, field](TSettings& s, const std::string& text) {
            const std::string word = LowerCase(Trim(text));
            if (word == "1" || word == "yes")
              s.*field = true;
            else if (word == "0" || word == "no")
              s.*field = false;
            else
              Refuse(name, "takes 1 or 0 (yes or no).");
          }};
}

TSettingRule Range(const char* name, int32_t TSettings::*field, int32_t low, int32_t high) {
  return {name, TValueKind::Number,
          [field](const TSettings& s) { return std::to_string(s.*field); },
          [=](TSettings& s, const std::string& text) { s.*field = Number(name, text, low, high); }};
}

TSettingRule ByteRange(const char* name, uint8_t TSettings::*field, int32_t low, int32_t high) {
  return {name, TValueKind::Number,
          [field](const TSettings& s) { return std::to_string(s.*field); },
          [=](TSettings& s, const std::string& text) {
            s.*field = static_cast<uint8_t>(Number(name, text, low, high));
          }};
}

TSettingRule Choice(const char* name, int32_t TSettings::*field, std::vector<int32_t> values) {
  return {name, TValueKind::Number,
          [field](const TSettings& s) { return std::to_string(s.*field); },
          [=](TSettings& s, const std::string& text) {
            int64_t value = 0;
            for (const int32_t allowed : values)
              if (ToInteger(text, value) && value == allowed) {
                s.*field = allowed;
                return;
              }
            std::string list;
            for (size_t i = 0; i < values.size(); ++i)
              list += (i == 0                   ? ""
                       : i + 1 == values.size() ? " or "
                                                : ", ") +
                      std::to_string(values[i]);
            Refuse(name, "takes " + list + ".");
          }};
}

// A text as an edit box takes it: trimmed, at most `longest` characters (0: no limit).
TSettingRule Text(const char* name, std::string TSettings::*field, size_t longest, bool required) {
  return {name, TValueKind::Text, [field](const TSettings& s) { return s.*field; },
          [=](TSettings& s, const std::string& text) {
            const std::string value = Trim(text);
            if (required && value.empty()) Refuse(name, "You cannot leave this field blank.");
            if (longest > 0 && value.size() > longest)
              Refuse(name, "at most " + std::to_string(longest) + " characters.");
            s.*field = value;
          }};
}

// The name of a complaint template, as the dialog's lists offer them.
TSettingRule TemplateName(const char* name, std::string TSettings::*field) {
  return {name, TValueKind::Text, [field](const TSettings& s) { return s.*field; },
          [=](TSettings& s, const std::string& text) {
            TTemplates templates;
            templates.Reload();
            const TTemplate* found = templates.Find(Trim(text));
            if (!found) Refuse(name, "there is no complaint template \"" + Trim(text) + "\".");
            s.*field = found->Name;
          }};
}

struct TBitName {
  const char* name;
  uint8_t bit;
};

// A set of bits by the names of its members, separated by commas; `fixed` are always set.
TSettingRule BitSet(const char* name, uint8_t TSettings::*field, std::vector<TBitName> names,
                    uint8_t fixed, bool noneAllowed) {
  return {name, TValueKind::Text,
          [=](const TSettings& s) {
            std::string text;
            for (const TBitName& entry : names)
              if (s.*field & entry.bit) text += (text.empty() ? "" : ",") + std::string(entry.name);
            return text.empty() ? std::string("none") : text;
          },
          [=](TSettings& s, const std::string& text) {
            uint8_t set = fixed;
            std::string known;
            for (const TBitName& entry : names)
              known += (known.empty() ? "" : ", ") + std::string(entry.name);
            if (!(noneAllowed && SameText(Trim(text), "none"))) {
              size_t start = 0;
              for (;;) {
                const size_t comma = text.find(',', start);
                const std::string item = Trim(text.substr(start, comma - start));
                bool found = false;
                for (const TBitName& entry : names)
                  if (SameText(item, entry.name)) {
                    set |= entry.bit;
                    found = true;
                  }
                if (!found) Refuse(name, "unknown \"" + item + "\"; use " + known + ".");
                if (comma == std::string::npos) break;
                start = comma + 1;
              }
            }
            s.*field = set;
          }};
}

const std::vector<TBitName> kRecipientNames = {{"sender", rcSender},
                                               {"reply-to", rcReplyTo},
                                               {"abuse", rcAbuse},
                                               {"postmaster", rcPostmaster},
                                               {"webmaster", rcWebmaster}};

const std::vector<TSettingRule>& Rules() {
  static const std::vector<TSettingRule> rules = {
      // General.
      Text("EmailClient", &TSettings::EmailClient, 255, false),
      Switch("EnableSounds", &TSettings::EnableSounds),
      // Display.
      Switch("ToolBarText", &TSettings::ToolBarText),
      Choice("FontSize", &TSettings::FontSize, {8, 10, 12, 14}),
      Switch("ShowHints", &TSettings::ShowHints),
      Switch("ShowPopUp", &TSettings::ShowPopUp),
      Switch("HidePopup", &TSettings::HidePopup),
      Range("HidePopUpAfter", &TSettings::HidePopUpAfter, 1, 60),
      ByteRange("IconMode", &TSettings::IconMode, 0, 2),
      Switch("ResetCountOnClose", &TSettings::ResetCountOnClose),
      // Filtering: the sender and the friend filters are always on.
      BitSet("ActiveFilters", &TSettings::ActiveFilters,
             {{"sender", 1u << fkSender},
              {"subject", 1u << fkSubject},
              {"text", 1u << fkText},
              {"country", 1u << fkCountry},
              {"header", 1u << fkHeader}},
             static_cast<uint8_t>(1u << 1 | 1u << fkFriend), true),
      Switch("AcceptFriendsOnly", &TSettings::AcceptFriendsOnly),
      {"StdAction", TValueKind::Number,
       [](const TSettings& s) { return std::to_string(s.StdAction); },
       [](TSettings& s, const std::string& text) {
         for (uint8_t action = acAccept; action <= acKillAfterErrorMessage; ++action)
           if (SameText(Trim(text), ActionKeyword(action))) {
             s.StdAction = action;
             return;
           }
         s.StdAction = static_cast<uint8_t>(Number("StdAction", text, 1, 5));
       }},
      Switch("AutoCheckUpdates", &TSettings::AutoCheckUpdates),
      // Messages.
      Switch("Skip", &TSettings::Skip),
      {"SkipSize", TValueKind::Number,
       [](const TSettings& s) { return std::to_string(s.SkipSize); },
       [](TSettings& s, const std::string& text) {
         // The dialog edits it in kilobytes, 1 to 32767.
         const int32_t bytes = Number("SkipSize", text, 1024, 32767 * 1024);
         if (bytes % 1024 != 0) Refuse("SkipSize", "takes whole kilobytes (a multiple of 1024).");
         s.SkipSize = bytes;
       }},
      Switch("SaveKills", &TSettings::SaveKills),
      Switch("AutoPurge", &TSettings::AutoPurge),
      Range("AutoPurgeDays", &TSettings::AutoPurgeDays, 1, 365),
      Switch("AutoPurgePrompt", &TSettings::AutoPurgePrompt),
      Text("PrinterFont", &TSettings::PrinterFont, 0, true),
      Choice("PrinterFontSize", &TSettings::PrinterFontSize, {8, 10, 12}),
      Switch("AutoRead", &TSettings::AutoRead),
      Range("AutoReadAfter", &TSettings::AutoReadAfter, 1, 60),
      // Complaints.
      TemplateName("UserComplaint", &TSettings::UserComplaint),
      TemplateName("AdminComplaint", &TSettings::AdminComplaint),
      TemplateName("RemoveComplaint", &TSettings::RemoveComplaint),
      // Advanced.
      Switch("FTPProxy", &TSettings::FTPProxy),
      Text("FTPProxyName", &TSettings::FTPProxyName, 50, false),
      Range("FTPProxyPort", &TSettings::FTPProxyPort, 0, 65535),
      Switch("BounceKill", &TSettings::BounceKill),
      Switch("BounceSetKill", &TSettings::BounceSetKill),
      Switch("RecentComplaints", &TSettings::RecentComplaints),
      {"NumRecentComplaints", TValueKind::Number,
       [](const TSettings& s) { return std::to_string(s.NumRecentComplaints); },
       [](TSettings& s, const std::string& text) {
         if (!s.RecentComplaints)
           Refuse("NumRecentComplaints", "can be changed only while RecentComplaints is 1.");
         s.NumRecentComplaints = Number("NumRecentComplaints", text, 1, 1000);
       }},
      BitSet("RemoveAddr", &TSettings::RemoveAddr, kRecipientNames, 0, false),
      BitSet("ComplainAddr", &TSettings::ComplainAddr, kRecipientNames, 0, false),
      Switch("Logging", &TSettings::Logging),
  };
  return rules;
}

const TSettingRule& RuleNamed(const std::string& name) {
  for (const TSettingRule& rule : Rules())
    if (SameText(rule.name, Trim(name))) return rule;
  throw TUsageError("There is no setting \"" + Trim(name) +
                    "\" the command line can read or change; see tarnwell settings list.");
}

int ListSettings(const TCommandLine& line, TArguments& arguments) {
  TListOutput output(arguments);
  if (arguments.Operands().size() != 1) throw TUsageError("settings list takes no operands.");
  TCommandSession session(line, TAccess::Read);
  for (const TSettingRule& rule : Rules()) {
    const std::string value = rule.get(Settings());
    output.Text("name", rule.name);
    switch (rule.kind) {
      case TValueKind::Switch: output.Field("value", value, value == "1" ? "true" : "false"); break;
      case TValueKind::Number: output.Field("value", value, value); break;
      case TValueKind::Text: output.Text("value", value); break;
    }
    output.EndLine();
  }
  return 0;
}

int GetSetting(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 2) throw TUsageError("settings get needs one name.");
  const TSettingRule& rule = RuleNamed(operands[1]);
  TCommandSession session(line, TAccess::Read);
  std::printf("%s\n", ListField(rule.get(Settings())).c_str());
  return 0;
}

int SetSetting(const TCommandLine& line, TArguments& arguments) {
  const std::vector<std::string> operands = arguments.Operands();
  if (operands.size() != 3) throw TUsageError("settings set needs a name and a value.");
  const TSettingRule& rule = RuleNamed(operands[1]);
  TCommandSession session(line, TAccess::Change);
  TSettings changed = Settings();
  rule.set(changed, operands[2]);
  // The dialog wants a proxy's name while the proxy is on.
  if (changed.FTPProxy && Trim(changed.FTPProxyName).empty())
    Refuse("FTPProxyName", "You cannot leave this field blank.");
  changed.SaveAll();
  return 0;
}

int SettingsCommand(const TCommandLine& line, TArguments& arguments) {
  const std::string verb = line.arguments.empty() ? std::string() : line.arguments.front();
  if (verb == "list") return ListSettings(line, arguments);
  if (verb == "get") return GetSetting(line, arguments);
  if (verb == "set") return SetSetting(line, arguments);
  throw TUsageError(verb.empty() ? "settings needs list, get or set."
                                 : "unknown settings command \"" + verb + "\".");
}

}  // namespace

int RunSettings(const TCommandLine& line) { return RunGuarded(kUsage, SettingsCommand, line); }

}  // namespace tarnwell
