// The settings dialog end to end: the real Vesperine.scr, copied beside this program, started as
// the Display control panel starts it, its dialog found among the saver's windows and driven
// through its controls from this process, the results read from the registry.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_dialog_ids.h"
#include "tests/win32/start_process.h"

using namespace std::string_literals;

namespace {

constexpr char kVendorKey[] = "Software\\Ondrel";
constexpr char kSettingsKey[] = "Software\\Ondrel\\Vesperine";
constexpr char kFileDialogTitle[] = "Select texture file name";
constexpr DWORD kPatienceMs = 20000;

// ---- Registry ----

using Value = std::pair<DWORD, std::string>;  // type and bytes
using Values = std::map<std::string, Value>;

std::string Dword(std::uint32_t value) {
  return std::string(reinterpret_cast<const char*>(&value), 4);
}

// Each path with its NUL, then one more NUL.
std::string MultiString(std::initializer_list<std::string> paths) {
  std::string block;
  for (const std::string& path : paths)
    block += path + '\0';
  return block + '\0';
}

void Store(const char* name, DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                           static_cast<DWORD>(bytes.size())),
            ERROR_SUCCESS);
  RegCloseKey(key);
}

Values StoredValues() {
  Values values;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return values;
  }
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD nameSize = sizeof name, type = 0, size = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &size) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string bytes(size, '\0');
    RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
    bytes.resize(size);
    values[name] = {type, bytes};
  }
  RegCloseKey(key);
  return values;
}

std::string StoredBytes(const char* name) {
  const Values values = StoredValues();
  const auto found = values.find(name);
  return found == values.end() ? "(absent)" : found->second.second;
}

// ---- Files the open-file dialog picks ----

std::string TempFolder() {
  char path[MAX_PATH];
  GetTempPathA(sizeof path, path);
  return std::string(path) + "vesperine-dialog-e2e\\";
}

void MakeFile(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  CloseHandle(file);
}

// ---- Waiting ----

// Runs the messages of this thread (the saver disables and enables its owner window, which lives
// here) until `done` holds or the patience runs out.
template <typename Condition>
bool PumpUntil(Condition done, DWORD patienceMs = kPatienceMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageA(&message);
    if (GetTickCount() - start > patienceMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

struct WindowQuery {
  DWORD process;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchDialogWindow(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<WindowQuery*>(parameter);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  char title[128] = "", className[32] = "";
  GetWindowTextA(window, title, sizeof title);
  GetClassNameA(window, className, sizeof className);
  if (process != query->process || !IsWindowVisible(window) || std::string(className) != "#32770" ||
      std::string(title) != query->title) {
    return TRUE;
  }
  query->found = window;
  return FALSE;
}

HWND FindDialogOf(DWORD process, const char* title) {
  WindowQuery query{process, title, nullptr};
  EnumWindows(MatchDialogWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

// A list box row or combo box item of another process, in the ANSI code page. Asked for in
// UTF-16: across processes wine answers the narrow messages with the UTF-16 text unconverted.
std::string ItemText(HWND control, UINT lengthMessage, UINT textMessage, LRESULT item) {
  const LRESULT length = SendMessageW(control, lengthMessage, item, 0);
  if (length <= 0) return "";
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(control, textMessage, item, reinterpret_cast<LPARAM>(&wide[0]));
  char narrow[1024] = "";
  WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
  return narrow;
}

// ---- The saver in settings mode ----

std::string SaverPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder(path, length);
  return folder.substr(0, folder.rfind('\\') + 1) + "Vesperine.scr";
}

class SettingsRun {
 public:
  // `arguments` follow the saver's quoted path on its command line.
  explicit SettingsRun(const std::string& arguments) {
    const std::string commandLine = "\"" + SaverPath() + "\"" + arguments;
    if (!StartTestProcess(nullptr, commandLine, &process_)) {
      ADD_FAILURE() << "cannot start " << commandLine << ": " << GetLastError();
      return;
    }
    PumpUntil([&] {
      dialog_ = FindDialogOf(process_.dwProcessId, "Dialog");
      return dialog_ != nullptr || !Running();
    });
    if (dialog_ == nullptr) ADD_FAILURE() << "no settings dialog from " << commandLine;
  }
  ~SettingsRun() {
    if (process_.hProcess == nullptr) return;
    if (Running()) TerminateProcess(process_.hProcess, 99);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  SettingsRun(const SettingsRun&) = delete;
  SettingsRun& operator=(const SettingsRun&) = delete;

  HWND dialog() const { return dialog_; }
  HWND Item(int id) const { return GetDlgItem(dialog_, id); }
  bool Running() const {
    return process_.hProcess != nullptr &&
           WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
  }

  // The exit code, once the process has ended; -1000 when it would not end.
  int Finish() {
    if (process_.hProcess == nullptr) return -1000;
    if (!PumpUntil([&] { return !Running(); })) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, kPatienceMs);
      return -1000;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

  // Returns once the dialog's message loop runs again: a sent message is handled only there.
  void Settle() {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &ignored);
  }

  // Sent, so that the button has done its work on return.
  void Click(int id) { SendMessageA(Item(id), BM_CLICK, 0, 0); }

  HWND Focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(process_.dwThreadId, &info);
    return info.hwndFocus;
  }

  // A key as the keyboard gives it: posted to the control with the focus, for the dialog's own
  // message loop to see.
  void Press(WORD key) {
    const HWND target = Focus() != nullptr ? Focus() : dialog_;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
  }

  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    const HWND list = Item(IDC_TEXTURE_LIST);
    for (LRESULT row = 0; row < SendMessageA(list, LB_GETCOUNT, 0, 0); ++row)
      rows.push_back(ItemText(list, LB_GETTEXTLEN, LB_GETTEXT, row));
    return rows;
  }
  LRESULT Selection() const { return SendMessageA(Item(IDC_TEXTURE_LIST), LB_GETCURSEL, 0, 0); }
  void Select(int row) { SendMessageA(Item(IDC_TEXTURE_LIST), LB_SETCURSEL, row, 0); }

  LRESULT Position(int trackbar) const { return SendMessageA(Item(trackbar), TBM_GETPOS, 0, 0); }
  std::pair<LRESULT, LRESULT> Range(int trackbar) const {
    return {SendMessageA(Item(trackbar), TBM_GETRANGEMIN, 0, 0),
            SendMessageA(Item(trackbar), TBM_GETRANGEMAX, 0, 0)};
  }
  // What a drag of the thumb leaves behind: the new position and the trackbar's notifications.
  void Move(int trackbar, int position) {
    const HWND control = Item(trackbar);
    SendMessageA(control, TBM_SETPOS, TRUE, position);
    const auto from = reinterpret_cast<LPARAM>(control);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), from);
    SendMessageA(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), from);
    SendMessageA(dialog_, WM_HSCROLL, TB_ENDTRACK, from);
  }

  // Presses Add and waits for the open-file dialog. The click is not waited for: it returns only
  // when the open-file dialog has closed.
  HWND OpenFileDialog() {
    SendNotifyMessageA(Item(IDC_ADD_TEXTURE), BM_CLICK, 0, 0);
    HWND files = nullptr;
    PumpUntil([&] { return (files = FindDialogOf(process_.dwProcessId, kFileDialogTitle)); });
    return files;
  }

  // Types `text` as the file name of the open-file dialog and presses Open, then waits until the
  // dialog has closed and the settings dialog has taken the files.
  void ChooseFiles(const std::string& text) {
    ChooseFilesBy([&](HWND edit) { SetWindowTextA(edit, text.c_str()); });
  }
  void ChooseFiles(const std::wstring& text) {
    ChooseFilesBy([&](HWND edit) { SetWindowTextW(edit, text.c_str()); });
  }

 private:
  template <typename Type>
  void ChooseFilesBy(Type type) {
    const HWND files = OpenFileDialog();
    ASSERT_NE(files, nullptr) << "no open-file dialog";
    type(FileNameEdit(files));
    SendNotifyMessageA(GetDlgItem(files, IDOK), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(files); })) << "the open-file dialog stays";
    Settle();
  }

  static BOOL CALLBACK FindEdit(HWND window, LPARAM found) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (std::string(className) != "Edit" || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  // The file name box: the only visible edit control of the open-file dialog.
  static HWND FileNameEdit(HWND files) {
    HWND edit = nullptr;
    EnumChildWindows(files, FindEdit, reinterpret_cast<LPARAM>(&edit));
    return edit;
  }

  PROCESS_INFORMATION process_{};
  HWND dialog_ = nullptr;
};

// ---- Fixture ----

// With no window manager on the test display, wine waits two seconds for each hidden managed
// window to be confirmed withdrawn: the saver's windows are left unmanaged for these runs.
class UnmanagedSaverWindows : public ::testing::Environment {
 public:
  void SetUp() override {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kSaverAppKey) + "\\X11 Driver").c_str(), 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>("N"), 2);
    RegCloseKey(key);
  }
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kSaverAppKey); }

 private:
  static constexpr char kSaverAppKey[] = "Software\\Wine\\AppDefaults\\Vesperine.scr";
};

[[maybe_unused]] ::testing::Environment* const kUnmanagedSaverWindows =
    ::testing::AddGlobalTestEnvironment(new UnmanagedSaverWindows);

class SettingsDialogE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kVendorKey);
    owner_ = CreateWindowExA(0, "STATIC", "Display Properties", WS_POPUP, 0, 0, 40, 40, nullptr,
                             nullptr, nullptr, nullptr);
    ASSERT_NE(owner_, nullptr);
    folder_ = TempFolder();
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    DestroyWindow(owner_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kVendorKey);
    for (const std::string& file : files_)
      DeleteFileA(file.c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  // The control panel's command line: "/c:" and its own window's handle in decimal.
  std::string ControlPanelArguments() const {
    return " /c:" +
           std::to_string(static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(owner_)));
  }

  void Make(const std::string& path) {
    MakeFile(path);
    files_.push_back(path);
  }

  HWND owner_ = nullptr;
  std::string folder_;
  std::vector<std::string> files_;
};

// ---- What the dialog shows ----

TEST_F(SettingsDialogE2e, ShowsTheStoredSettingsOverTheControlPanel) {
  const std::string longName(800, 'n');
  const std::string texture =
      MultiString({"C:\\Tex\\one.bmp", "D:\\two.png", "plain.gif", "C:\\Tex\\", "E:\\" + longName});
  Store("Texture", REG_MULTI_SZ, texture);
  Store("Refresh Time", REG_DWORD, Dword(12345));
  Store("Time Interval", REG_DWORD, Dword(777));
  const Values before = StoredValues();

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  EXPECT_EQ(GetWindow(run.dialog(), GW_OWNER), owner_);
  // A display name is cut to what 768 bytes hold; a path ending in a backslash has an empty one.
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"one.bmp", "two.png", "plain.gif", "",
                                                  longName.substr(0, 767)}));
  EXPECT_EQ(run.Selection(), LB_ERR);
  EXPECT_EQ(run.Focus(), run.Item(IDC_TEXTURE_LIST));
  EXPECT_EQ(run.Position(IDC_REFRESH_SLIDER), 1234);
  EXPECT_EQ(run.Range(IDC_REFRESH_SLIDER), std::make_pair(LRESULT{500}, LRESULT{7000}));
  EXPECT_EQ(run.Position(IDC_SPEED_SLIDER), 777);
  EXPECT_EQ(run.Range(IDC_SPEED_SLIDER), std::make_pair(LRESULT{50}, LRESULT{5000}));

  run.Click(IDCANCEL);
  EXPECT_EQ(run.Finish(), 2);
  EXPECT_EQ(StoredValues(), before);
}

TEST_F(SettingsDialogE2e, DefaultsWithoutArgumentsAndNothingStoredOnCancel) {
  SettingsRun run("");
  ASSERT_NE(run.dialog(), nullptr);
  EXPECT_EQ(GetWindow(run.dialog(), GW_OWNER), nullptr);
  EXPECT_TRUE(run.Rows().empty());
  EXPECT_EQ(run.Position(IDC_REFRESH_SLIDER), 5000);
  EXPECT_EQ(run.Position(IDC_SPEED_SLIDER), 3500);
  run.Move(IDC_SPEED_SLIDER, 100);
  run.Click(IDC_REMOVE_TEXTURE);
  run.Click(IDCANCEL);
  EXPECT_EQ(run.Finish(), 2);
  EXPECT_TRUE(StoredValues().empty());
}

// ---- Apply, OK, Cancel and the keys ----

TEST_F(SettingsDialogE2e, OutOfRangeValuesShowAtTheEndsAndApplyStoresThemThere) {
  Store("Refresh Time", REG_DWORD, Dword(100000));
  Store("Time Interval", REG_DWORD, Dword(10));
  Store("Color Difference", REG_DWORD, Dword(40));
  Store("Texture", REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp"}));

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  EXPECT_EQ(run.Position(IDC_REFRESH_SLIDER), 7000);
  EXPECT_EQ(run.Position(IDC_SPEED_SLIDER), 50);
  run.Click(IDC_APPLY);
  EXPECT_TRUE(run.Running());
  const Values applied = StoredValues();
  EXPECT_EQ(applied, (Values{{"Refresh Time", {REG_DWORD, Dword(70000)}},
                             {"Time Interval", {REG_DWORD, Dword(50)}},
                             {"Color Difference", {REG_DWORD, Dword(21)}},
                             {"Texture", {REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp"})}}}));

  // Changes after Apply are dropped by Cancel; what Apply stored stays.
  run.Move(IDC_REFRESH_SLIDER, 600);
  run.Select(0);
  run.Click(IDC_REMOVE_TEXTURE);
  run.Click(IDCANCEL);
  EXPECT_EQ(run.Finish(), 2);
  EXPECT_EQ(StoredValues(), applied);
}

TEST_F(SettingsDialogE2e, OkStoresTheTrackbarsAndTheListAndEndsWithOne) {
  const std::string appFolder = "C:\\Pictures\\\0"s;
  Store("AppFolder", REG_SZ, appFolder);
  Store("Color Difference", REG_DWORD, Dword(5));
  Store("Texture", REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp", "C:\\Tex\\two.bmp"}));

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  run.Move(IDC_REFRESH_SLIDER, 612);
  run.Move(IDC_SPEED_SLIDER, 4999);
  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
  EXPECT_EQ(
      StoredValues(),
      (Values{{"AppFolder", {REG_SZ, appFolder}},
              {"Refresh Time", {REG_DWORD, Dword(6120)}},
              {"Time Interval", {REG_DWORD, Dword(4999)}},
              {"Color Difference", {REG_DWORD, Dword(21)}},
              {"Texture", {REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp", "C:\\Tex\\two.bmp"})}}}));
}

// A list far past 8 KB shows whole and OK stores it back entry for entry.
TEST_F(SettingsDialogE2e, FourHundredEntriesSurviveOk) {
  std::string texture;
  for (int i = 0; i < 400; ++i)
    texture += "C:\\Textures\\Collection\\" + std::string(60, 'a' + i % 26) + std::to_string(i) +
               ".bmp" + '\0';
  texture += '\0';
  Store("Texture", REG_MULTI_SZ, texture);
  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  const std::vector<std::string> rows = run.Rows();
  ASSERT_EQ(rows.size(), 400u);
  EXPECT_EQ(rows.back(), std::string(60, 'a' + 399 % 26) + "399.bmp");
  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
  EXPECT_EQ(StoredBytes("Texture"), texture);
}

TEST_F(SettingsDialogE2e, EscapeAndTheCloseBoxCancelEnterConfirms) {
  Store("Refresh Time", REG_DWORD, Dword(20000));
  const struct {
    const char* what;
    UINT message;
    WPARAM wParam;  // a key for WM_KEYDOWN
    int exitCode;
  } endings[] = {{"Escape", WM_KEYDOWN, VK_ESCAPE, 2},
                 {"close box", WM_SYSCOMMAND, SC_CLOSE, 2},
                 {"WM_CLOSE", WM_CLOSE, 0, 2},
                 {"Enter", WM_KEYDOWN, VK_RETURN, 1}};
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.what);
    SettingsRun run(ControlPanelArguments());
    ASSERT_NE(run.dialog(), nullptr);
    run.Move(IDC_REFRESH_SLIDER, 3000);
    if (ending.message == WM_KEYDOWN) {
      run.Press(static_cast<WORD>(ending.wParam));
    } else {
      PostMessageA(run.dialog(), ending.message, ending.wParam, 0);
    }
    EXPECT_EQ(run.Finish(), ending.exitCode);
    EXPECT_EQ(StoredBytes("Refresh Time"), Dword(ending.exitCode == 1 ? 30000 : 20000));
  }
}

// ---- Adding and removing textures ----

TEST_F(SettingsDialogE2e, AddedFilesAreAppendedTheLastSelectedAndStoredInOrderByOk) {
  for (const char* name : {"single.bmp", "a.bmp", "b.png", "c.jpg"})
    Make(folder_ + name);
  Store("AppFolder", REG_SZ, folder_ + '\0');
  Store("Texture", REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp"}));

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  // The open-file dialog opens in AppFolder: a bare name is taken from there.
  run.ChooseFiles("single.bmp");
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"one.bmp", "single.bmp"}));
  EXPECT_EQ(run.Selection(), 1);
  run.ChooseFiles("\"a.bmp\" \"c.jpg\" \"b.png\"");
  EXPECT_EQ(run.Rows(),
            (std::vector<std::string>{"one.bmp", "single.bmp", "a.bmp", "c.jpg", "b.png"}));
  EXPECT_EQ(run.Selection(), 4);
  // The same file again is one more row.
  run.ChooseFiles(folder_ + "single.bmp");
  EXPECT_EQ(run.Rows().size(), 6u);
  EXPECT_EQ(run.Selection(), 5);

  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
  EXPECT_EQ(StoredBytes("Texture"),
            MultiString({"C:\\Tex\\one.bmp", folder_ + "single.bmp", folder_ + "a.bmp",
                         folder_ + "c.jpg", folder_ + "b.png", folder_ + "single.bmp"}));
  EXPECT_EQ(StoredBytes("AppFolder"), folder_ + '\0');
}

// Before any list was stored, the dialog lists the pictures in AppFolder and Apply stores them.
TEST_F(SettingsDialogE2e, NeverStoredListIsThePicturesInAppFolder) {
  for (const char* name : {"b.png", "notes.txt", "a.JPEG"})
    Make(folder_ + name);
  Store("AppFolder", REG_SZ, folder_ + '\0');

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"a.JPEG", "b.png"}));
  run.Click(IDC_APPLY);
  EXPECT_EQ(StoredBytes("Texture"), MultiString({folder_ + "a.JPEG", folder_ + "b.png"}));
  run.Click(IDCANCEL);
  EXPECT_EQ(run.Finish(), 2);
}

TEST_F(SettingsDialogE2e, FilesInADriveRootFolder) {
  for (const char* name : {"vesperine-e2e-a.bmp", "vesperine-e2e-b.gif"})
    Make("C:\\"s + name);
  Store("AppFolder", REG_SZ, "C:\\\0"s);
  Store("Texture", REG_MULTI_SZ, "\0"s);  // stored empty: the pictures in C:\ are not listed

  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  run.ChooseFiles("vesperine-e2e-a.bmp");
  run.ChooseFiles("\"vesperine-e2e-a.bmp\" \"vesperine-e2e-b.gif\"");
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"vesperine-e2e-a.bmp", "vesperine-e2e-a.bmp",
                                                  "vesperine-e2e-b.gif"}));
  EXPECT_EQ(run.Selection(), 2);
  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
  // Several names come with the folder "C:\", to which one more backslash is always joined.
  EXPECT_EQ(StoredBytes("Texture"),
            MultiString({"C:\\vesperine-e2e-a.bmp", "C:\\\\vesperine-e2e-a.bmp",
                         "C:\\\\vesperine-e2e-b.gif"}));
}

TEST_F(SettingsDialogE2e, TheOpenFileDialogOffersTheTextureTypesAndItsCancelChangesNothing) {
  Store("Texture", REG_MULTI_SZ, MultiString({"C:\\Tex\\one.bmp", "C:\\Tex\\two.bmp"}));
  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  run.Select(1);
  const HWND files = run.OpenFileDialog();
  ASSERT_NE(files, nullptr);
  EXPECT_EQ(GetWindow(files, GW_OWNER), run.dialog());
  const HWND readOnly = GetDlgItem(files, 0x410);
  EXPECT_TRUE(readOnly == nullptr || !IsWindowVisible(readOnly)) << "no read-only box";
  // The file type box lists the filter's descriptions, the first one chosen.
  const HWND types = GetDlgItem(files, 0x470);
  std::vector<std::string> offered;
  for (LRESULT item = 0; item < SendMessageA(types, CB_GETCOUNT, 0, 0); ++item)
    offered.push_back(ItemText(types, CB_GETLBTEXTLEN, CB_GETLBTEXT, item));
  EXPECT_EQ(offered, (std::vector<std::string>{
                         "Bitmap Files (*.bmp)", "Jpeg Files (*.jpg)", "Gif Files (*.gif)",
                         "Portable Network Graphic (*.png)", "All Files (*.*)"}));
  EXPECT_EQ(SendMessageA(types, CB_GETCURSEL, 0, 0), 0);
  SendNotifyMessageA(GetDlgItem(files, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(PumpUntil([&] { return !IsWindow(files); }));
  run.Settle();

  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"one.bmp", "two.bmp"}));
  EXPECT_EQ(run.Selection(), 1);
  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
}

TEST_F(SettingsDialogE2e, RemoveDeletesTheSelectedRowAndSelectsTheFirst) {
  // Two entries of one display name: the row and the entry removed must be the same one.
  Store("Texture", REG_MULTI_SZ,
        MultiString({"C:\\A\\one.bmp", "C:\\Tex\\two.bmp", "C:\\B\\one.bmp"}));
  SettingsRun run(ControlPanelArguments());
  ASSERT_NE(run.dialog(), nullptr);
  run.Click(IDC_REMOVE_TEXTURE);
  EXPECT_EQ(run.Rows().size(), 3u) << "nothing selected, nothing removed";

  run.Select(2);
  run.Click(IDC_REMOVE_TEXTURE);
  EXPECT_EQ(run.Rows(), (std::vector<std::string>{"one.bmp", "two.bmp"}));
  EXPECT_EQ(run.Selection(), 0);
  run.Click(IDC_APPLY);
  EXPECT_EQ(StoredBytes("Texture"), MultiString({"C:\\A\\one.bmp", "C:\\Tex\\two.bmp"}));

  run.Click(IDC_REMOVE_TEXTURE);
  run.Click(IDC_REMOVE_TEXTURE);
  EXPECT_TRUE(run.Rows().empty());
  EXPECT_EQ(run.Selection(), LB_ERR);
  run.Click(IDOK);
  EXPECT_EQ(run.Finish(), 1);
  EXPECT_EQ(StoredBytes("Texture"), "\0"s);
}

// ---- Names in any script ----

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], static_cast<int>(wide.size())) -
      1));
  return wide;
}

// The value as UTF-16, whatever this program's code page: the registry's own form.
std::wstring StoredWide(const wchar_t* name) {
  HKEY key = nullptr;
  std::wstring value;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS) {
    value.resize(size / sizeof(wchar_t));
    RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value[0]), &size);
  }
  RegCloseKey(key);
  return value;
}

// A 2 x 2 24-bit bitmap, so that the saver has a picture to load under that name.
void MakePicture(const std::wstring& path) {
  unsigned char bmp[70] = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40,
                           0,   0,   0,  2, 0, 0, 0, 2, 0, 0, 0,  1, 0, 24};
  for (int pixel : {54, 57, 62, 65})
    bmp[pixel + 1] = bmp[pixel + 2] = 0xC0;
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, bmp, sizeof bmp, &written, nullptr);
  CloseHandle(file);
}

// Files named in Japanese and in Polish: a first start lists them, the open-file dialog adds them,
// the registry keeps their names whole, and the saver's next start loads both (a file that fails
// brings a message box before the saver's window shows).
TEST_F(SettingsDialogE2e, NamesInAnyScriptAreListedChosenStoredAndLoaded) {
  const std::wstring folder = Wide(folder_);
  const std::wstring japanese = L"\u65E5\u672C.bmp", polish = L"\u0141\u00F3d\u017A.bmp";
  for (const std::wstring& name : {japanese, polish})
    MakePicture(folder + name);
  Store("AppFolder", REG_SZ, folder_ + '\0');
  {
    SettingsRun run(ControlPanelArguments());
    ASSERT_NE(run.dialog(), nullptr);
    EXPECT_EQ(SendMessageA(run.Item(IDC_TEXTURE_LIST), LB_GETCOUNT, 0, 0), 2);
    run.Click(IDC_APPLY);
    run.Click(IDCANCEL);
    EXPECT_EQ(run.Finish(), 2);
  }
  const std::wstring listed = folder + polish + L'\0' + folder + japanese + L'\0' + L'\0';
  EXPECT_EQ(StoredWide(L"Texture"), listed);

  Store("Texture", REG_MULTI_SZ, "\0"s);
  {
    SettingsRun run(ControlPanelArguments());
    ASSERT_NE(run.dialog(), nullptr);
    run.ChooseFiles(L"\"" + japanese + L"\" \"" + polish + L"\"");
    run.Click(IDOK);
    EXPECT_EQ(run.Finish(), 1);
  }
  EXPECT_EQ(StoredWide(L"Texture"), folder + japanese + L'\0' + folder + polish + L'\0' + L'\0');

  PROCESS_INFORMATION saver{};
  ASSERT_TRUE(StartTestProcess(nullptr, "\"" + SaverPath() + "\" /s", &saver));
  HWND shown = nullptr, message = nullptr;
  PumpUntil([&] {
    message = FindDialogOf(saver.dwProcessId, "Message");
    shown = FindWindowA("WindowsScreenSaverClass", "Screen Saver");
    return message != nullptr || (shown != nullptr && IsWindowVisible(shown));
  });
  EXPECT_EQ(message, nullptr) << "a texture did not load";
  EXPECT_NE(shown, nullptr);
  TerminateProcess(saver.hProcess, 0);
  WaitForSingleObject(saver.hProcess, kPatienceMs);
  CloseHandle(saver.hThread);
  CloseHandle(saver.hProcess);
  for (const std::wstring& name : {japanese, polish})
    DeleteFileW((folder + name).c_str());
}

}  // namespace
