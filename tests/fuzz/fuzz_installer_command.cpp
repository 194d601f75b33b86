// The command line handed to the Windows Installer engine, for every mix of
// package or patch, update, "/a", configured text and folder.
#include "install/admin_target.h"
#include "install/installer_command.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

bool Bit(uint8_t flags, int n) { return (flags >> n) & 1; }

// What the engine gets, written out from the rules in the header.
std::wstring Expected(const InstallerCommand& c, bool* isNull) {
  *isNull = false;
  if (c.isPatch) {
    if (c.configured) return c.configured;
    if (c.updateMode) return REINSTALL_PATCH_PROPERTIES;
    *isNull = true;
    return L"";
  }
  std::wstring text = c.configured ? c.configured : c.updateMode ? REINSTALL_PACKAGE_PROPERTIES : L"";
  if (c.adminInstall) {
    text += L" ACTION=ADMIN";
    if (c.adminTarget) text += std::wstring(L" TARGETDIR=\"") + c.adminTarget + L"\"";
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzReader reader(data, size);
  // Bits 0-2: patch, update, "/a"; bit 3: a configured text; bit 4: a folder;
  // bit 5: the folder comes from reading the rest as the "/a" arguments.
  uint8_t flags = reader.Byte();
  std::wstring configuredText = reader.Field();
  std::vector<wchar_t> configured = TextBuffer(configuredText);
  std::vector<wchar_t> folderArgs = TextBuffer(reader.Rest());

  InstallerCommand command{Bit(flags, 0), Bit(flags, 1), Bit(flags, 2),
                           Bit(flags, 3) ? configured.data() : nullptr, nullptr};
  if (Bit(flags, 4)) {
    if (Bit(flags, 5)) {
      wchar_t* folder = nullptr;
      if (ParseAdminTarget(folderArgs.data(), &folder)) command.adminTarget = folder;
    } else {
      command.adminTarget = folderArgs.data();
    }
  }

  WString out(L"left over from an earlier product");
  bool isNull = true;
  FUZZ_CHECK(ComposeInstallerCommand(command, out, &isNull));
  FUZZ_CHECK(wcslen(out.c_str()) == out.length());

  bool expectedNull = false;
  std::wstring expected = Expected(command, &expectedNull);
  FUZZ_CHECK(isNull == expectedNull);
  FUZZ_CHECK(expected == out.c_str());

  // Bounded by its parts: no text is added twice.
  const size_t fixed = wcslen(REINSTALL_PACKAGE_PROPERTIES);
  size_t bound = (command.configured ? wcslen(command.configured) : fixed) + 13 +
                 (command.adminTarget ? 12 + wcslen(command.adminTarget) + 1 : 0);
  FUZZ_CHECK(out.length() <= bound);

  // A folder that the setup accepts is read back whole by whoever reads the
  // value from its opening quote to the next quote, as the engine does.
  if (!command.isPatch && command.adminInstall && command.adminTarget &&
      AdminTargetAcceptable(command.adminTarget)) {
    std::wstring text = out.c_str();
    size_t open = (command.configured ? wcslen(command.configured) : command.updateMode ? fixed : 0) +
                  wcslen(L" ACTION=ADMIN");
    FUZZ_CHECK(text.compare(open, 12, L" TARGETDIR=\"") == 0);
    open += 12;
    size_t close = text.find(L'"', open);
    FUZZ_CHECK(close == text.size() - 1);
    FUZZ_CHECK(text.substr(open, close - open) == command.adminTarget);
  }

  // A null flag pointer is allowed and changes nothing else.
  WString again;
  FUZZ_CHECK(ComposeInstallerCommand(command, again, nullptr));
  FUZZ_CHECK(wcscmp(again.c_str(), out.c_str()) == 0);
  return 0;
}
