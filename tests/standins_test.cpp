// The stand-ins for the family's outside programs: the elevated helper's call
// log, the starter's ready instance and the toolbar module's message client.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/qvtest.h"

namespace {

constexpr DWORD kRunMs = 15000;
constexpr const char* kRunAsClass = "qvRunAsClass";

// The lines of a CRLF-terminated log; an unterminated tail shows up as its own marked line.
std::vector<std::string> ReadLines(const std::string& path) {
  std::string text;
  std::vector<std::string> lines;
  if (!qvt::ReadFile(path, &text)) return lines;
  size_t start = 0;
  for (size_t at; (at = text.find("\r\n", start)) != std::string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  if (start < text.size()) lines.push_back("<unterminated>" + text.substr(start));
  return lines;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool WaitLines(const std::string& path, size_t count) {
  return qvt::WaitUntil([&] { return ReadLines(path).size() >= count; }, kRunMs);
}

// Runs a program with the given full command line to its end; its exit code, or -1.
int RunLine(const std::string& exe, const std::string& commandLine) {
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  CloseHandle(pi.hThread);
  qvt::Process p;
  p.process = pi.hProcess;
  p.pid = pi.dwProcessId;
  DWORD code = 0;
  bool ended = qvt::WaitExit(p, kRunMs, &code);
  qvt::Close(p);
  return ended ? static_cast<int>(code) : -1;
}

int RunExe(const char* exe, const std::string& arguments) {
  std::string path = qvt::BinPath(exe);
  return RunLine(path, "\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments));
}

// Runs a console program with its stdout and stderr in files; its exit code, or -1.
int RunCaptured(const char* exe, const std::string& arguments, const std::string& folder, std::string* out,
                std::string* err) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  std::string outPath = folder + "stdout.txt", errPath = folder + "stderr.txt";
  HANDLE outFile = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  HANDLE errFile = CreateFileA(errPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS, 0, nullptr);
  std::string path = qvt::BinPath(exe);
  std::string commandLine = "\"" + path + "\" " + arguments;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = outFile;
  si.hStdError = errFile;
  PROCESS_INFORMATION pi = {};
  BOOL started = CreateProcessA(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(outFile);
  CloseHandle(errFile);
  if (!started) return -1;
  CloseHandle(pi.hThread);
  qvt::Process p;
  p.process = pi.hProcess;
  p.pid = pi.dwProcessId;
  DWORD code = 0;
  bool ended = qvt::WaitExit(p, kRunMs, &code);
  qvt::Close(p);
  qvt::ReadFile(outPath, out);
  qvt::ReadFile(errPath, err);
  return ended ? static_cast<int>(code) : -1;
}

struct StandinTest : ::testing::Test {
  std::string folder;
  std::string uacLog;
  std::string runasLog;
  std::vector<qvt::Process> started;

  void SetUp() override {
    folder = qvt::TempFolder();
    uacLog = folder + "qvuac log.txt";
    runasLog = folder + "qvrunas log.txt";
    SetEnvironmentVariableA("QVUAC_LOG", uacLog.c_str());
    SetEnvironmentVariableA("QVRUNAS_LOG", runasLog.c_str());
  }

  void TearDown() override {
    for (qvt::Process& p : started) qvt::Close(p);
    qvt::KillAll("qvrunas.exe");
    qvt::KillAll("qvuac.exe");
    qvt::KillAll("qvtbclient.exe");
    SetEnvironmentVariableA("QVUAC_LOG", nullptr);
    SetEnvironmentVariableA("QVRUNAS_LOG", nullptr);
    for (const char* name : {"qvuac log.txt", "qvrunas log.txt", "stdout.txt", "stderr.txt", "where.txt", "where.bat"})
      DeleteFileA((folder + name).c_str());
    RemoveDirectoryA(folder.c_str());
  }

  qvt::Process& StartRunAs(const std::string& arguments) {
    started.push_back(qvt::Start(qvt::BinPath("qvrunas.exe"), arguments));
    return started.back();
  }

  std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
  std::string UacTarget() { return Quoted(qvt::BinPath("qvuac.exe")); }
};

// ---- qvuac.exe ----

using QvUac = StandinTest;

TEST_F(QvUac, RecordsEachStartsArgumentsExactlyAsOneLine) {
  EXPECT_EQ(0, RunExe("qvuac.exe", "/enable /webdeck /silent"));
  EXPECT_EQ(0, RunExe("qvuac.exe", "/delete  \"C:\\Program Files\\Quorvane\"\t\"a \"\"b\"\"\"  tail "));
  EXPECT_EQ(0, RunExe("qvuac.exe", ""));
  std::vector<std::string> expected = {"/enable /webdeck /silent",
                                       "/delete  \"C:\\Program Files\\Quorvane\"\t\"a \"\"b\"\"\"  tail ", ""};
  EXPECT_EQ(expected, ReadLines(uacLog));
}

TEST_F(QvUac, UnquotedProgramPartAndLeadingBlanksAreNotRecorded) {
  std::string exe = qvt::BinPath("qvuac.exe");
  EXPECT_EQ(0, RunLine(exe, "qvuac.exe \t  /stop /tray /silent"));
  EXPECT_EQ(0, RunLine(exe, "\"" + exe + "\"/stop /sync /silent"));
  std::vector<std::string> expected = {"/stop /tray /silent", "/stop /sync /silent"};
  EXPECT_EQ(expected, ReadLines(uacLog));
}

TEST_F(QvUac, WithoutTheVariableLogsBesideTheProgram) {
  SetEnvironmentVariableA("QVUAC_LOG", nullptr);
  std::string beside = qvt::BinPath("qvuac-calls.txt");
  DeleteFileA(beside.c_str());
  EXPECT_EQ(0, RunExe("qvuac.exe", "/delete /runas /silent"));
  std::vector<std::string> lines = ReadLines(beside);
  DeleteFileA(beside.c_str());
  EXPECT_EQ(std::vector<std::string>{"/delete /runas /silent"}, lines);
  EXPECT_FALSE(qvt::FileExists(uacLog));
}

TEST_F(QvUac, StartsAtTheSameTimeEachAddOneWholeLine) {
  constexpr int kStarts = 24;
  std::vector<std::string> expected;
  for (int i = 0; i < kStarts; ++i) {
    std::string args = "/call " + std::to_string(i) + " " + std::string(200, static_cast<char>('a' + i));
    expected.push_back(args);
    started.push_back(qvt::Start(qvt::BinPath("qvuac.exe"), args));
  }
  for (qvt::Process& p : started) EXPECT_TRUE(qvt::WaitExit(p, kRunMs));
  std::vector<std::string> lines = ReadLines(uacLog);
  std::sort(lines.begin(), lines.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(expected, lines);
}

// ---- qvrunas.exe ----

using QvRunAs = StandinTest;

TEST_F(QvRunAs, KeepRunAsStartsStaysReadyServesForwardedStartsAndStops) {
  qvt::Process& ready = StartRunAs("/keeprunas " + UacTarget() + " alpha \"beta gamma\"");
  HWND window = qvt::WaitTop(kRunAsClass, nullptr, ready.pid, kRunMs);
  ASSERT_NE(nullptr, window);
  EXPECT_FALSE(IsWindowVisible(window));
  ASSERT_TRUE(WaitLines(uacLog, 1));
  EXPECT_EQ("alpha \"beta gamma\"", ReadLines(uacLog)[0]);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ready.process, 0)) << "the ready instance must stay";

  // A second start hands its request over and ends; the ready one starts the program.
  EXPECT_EQ(0, RunExe("qvrunas.exe", "/keeprunas " + UacTarget() + " /stop /tray /silent"));
  ASSERT_TRUE(WaitLines(uacLog, 2));
  EXPECT_EQ("/stop /tray /silent", ReadLines(uacLog)[1]);
  std::vector<std::string> log = ReadLines(runasLog);
  EXPECT_TRUE(Contains(log, "served: " + UacTarget() + " /stop /tray /silent"));
  EXPECT_TRUE(Contains(log, "forward: -> served"));
  EXPECT_EQ(1u, qvt::ListTop(kRunAsClass, 0).size());

  EXPECT_EQ(0, RunExe("qvrunas.exe", "/stoprunas"));
  DWORD code = 99;
  EXPECT_TRUE(qvt::WaitExit(ready, kRunMs, &code));
  EXPECT_EQ(0u, code);
  EXPECT_EQ(nullptr, qvt::FindTop(kRunAsClass, nullptr));
  log = ReadLines(runasLog);
  EXPECT_TRUE(Contains(log, "stop: -> ended"));
  EXPECT_TRUE(Contains(log, "ended"));
}

TEST_F(QvRunAs, ReadyInstanceOutlivesFailedStartsAndReportsThem) {
  qvt::Process& ready = StartRunAs("/keeprunas");
  ASSERT_NE(nullptr, qvt::WaitTop(kRunAsClass, nullptr, ready.pid, kRunMs));
  std::string missing = Quoted(folder + "missing.exe");
  EXPECT_EQ(2, RunExe("qvrunas.exe", "/keeprunas " + missing + " x"));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(ready.process, 0));
  EXPECT_EQ(0, RunExe("qvrunas.exe", "/KeepRunAs " + UacTarget()));
  ASSERT_TRUE(WaitLines(uacLog, 1));
  EXPECT_EQ("", ReadLines(uacLog)[0]);
  std::vector<std::string> log = ReadLines(runasLog);
  EXPECT_TRUE(Contains(log, "start: " + missing + " x -> failed (error 2)"));
  EXPECT_TRUE(Contains(log, "forward: -> failed"));
}

TEST_F(QvRunAs, SimultaneousKeepStartsLeaveOneReadyInstanceAndStartEveryProgram) {
  constexpr int kStarts = 4;
  for (int i = 0; i < kStarts; ++i) StartRunAs("/keeprunas " + UacTarget() + " /run " + std::to_string(i));
  ASSERT_TRUE(WaitLines(uacLog, kStarts));
  // All but the ready instance end.
  ASSERT_TRUE(qvt::WaitUntil(
      [&] {
        int running = 0;
        for (qvt::Process& p : started) running += WaitForSingleObject(p.process, 0) == WAIT_TIMEOUT;
        return running == 1;
      },
      kRunMs));
  EXPECT_EQ(1u, qvt::ListTop(kRunAsClass, 0).size());
  std::vector<std::string> lines = ReadLines(uacLog);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ((std::vector<std::string>{"/run 0", "/run 1", "/run 2", "/run 3"}), lines);
}

TEST_F(QvRunAs, WithoutSwitchStartsOnceAndEnds) {
  EXPECT_EQ(0, RunExe("qvrunas.exe", UacTarget() + " /once \"quoted arg\""));
  ASSERT_TRUE(WaitLines(uacLog, 1));
  EXPECT_EQ("/once \"quoted arg\"", ReadLines(uacLog)[0]);
  EXPECT_EQ(nullptr, qvt::FindTop(kRunAsClass, nullptr));
  EXPECT_EQ(2, RunExe("qvrunas.exe", Quoted(folder + "missing.exe")));
}

TEST_F(QvRunAs, DocumentOpensThroughTheShellInItsOwnFolder) {
  // A batch file is a document: the shell runs it, with its folder as the working folder.
  ASSERT_TRUE(qvt::WriteFile(folder + "where.bat", "@cd > where.txt\r\n"));
  EXPECT_EQ(0, RunExe("qvrunas.exe", Quoted(folder + "where.bat")));
  ASSERT_TRUE(qvt::WaitUntil([&] { return !ReadLines(folder + "where.txt").empty(); }, kRunMs));
  std::string where = ReadLines(folder + "where.txt")[0];
  EXPECT_EQ(0, lstrcmpiA((where + "\\").c_str(), folder.c_str())) << where;
}

TEST_F(QvRunAs, StopWithNothingRunningJustEndsAndEmptyStartIsRefused) {
  EXPECT_EQ(0, RunExe("qvrunas.exe", "/stoprunas"));
  EXPECT_EQ(1, RunExe("qvrunas.exe", ""));
  std::vector<std::string> expected = {"request: /stoprunas", "stop: -> none running", "request: ",
                                       "refused: nothing to start"};
  EXPECT_EQ(expected, ReadLines(runasLog));
}

// ---- qvtbclient.exe ----

struct Received {
  UINT message;
  WPARAM wp;
  LPARAM lp;
  bool operator==(const Received& o) const { return message == o.message && wp == o.wp && lp == o.lp; }
};
std::vector<Received> g_received;

LRESULT CALLBACK FakeTrayProc(HWND w, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_CLOSE || message == WM_COMMAND || message >= WM_USER) {
    g_received.push_back({message, wp, lp});
    if (message == WM_USER + 33) return -5;
    return message >= WM_USER ? static_cast<LRESULT>(wp * 1000 + lp) : 0;
  }
  return DefWindowProcA(w, message, wp, lp);
}

HWND CreateFakeTray() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = FakeTrayProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = qvt::kTrayClass;
  RegisterClassA(&wc);  // already registered by an earlier case is fine
  return CreateWindowExA(0, qvt::kTrayClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
}

struct QvTbClient : StandinTest {
  HWND tray = nullptr;
  std::string out, err;
  void SetUp() override {
    StandinTest::SetUp();
    g_received.clear();
  }
  void TearDown() override {
    if (tray) DestroyWindow(tray);
    StandinTest::TearDown();
  }
  int Client(const std::string& arguments) { return RunCaptured("qvtbclient.exe", arguments, folder, &out, &err); }
};

TEST_F(QvTbClient, PostDeliversNamedAndNumberedMessagesInOrder) {
  tray = CreateFakeTray();
  ASSERT_NE(nullptr, tray);
  EXPECT_EQ(0, Client("post WMU_OPENSETTINGS 2"));
  EXPECT_EQ(0, Client("post 0x421"));
  EXPECT_EQ(0, Client("post WM_COMMAND 2457 0"));
  EXPECT_EQ(0, Client("post wmu_setpicturetimer 0x1F4 -1"));
  EXPECT_EQ(0, Client("post WM_CLOSE"));
  std::vector<Received> expected = {{1041, 2, 0}, {1057, 0, 0}, {WM_COMMAND, 2457, 0}, {1056, 500, -1}, {WM_CLOSE, 0, 0}};
  ASSERT_TRUE(qvt::WaitUntil([&] { return g_received.size() >= expected.size(); }, kRunMs));
  EXPECT_TRUE(expected == g_received);
  EXPECT_EQ("", out);
}

TEST_F(QvTbClient, SendPrintsTheWindowProceduresResult) {
  tray = CreateFakeTray();
  ASSERT_NE(nullptr, tray);
  EXPECT_EQ(0, Client("send WMU_SETIMAGES 1 7"));
  EXPECT_EQ("1007\n", out.substr(0, out.find('\r')) + (out.find('\r') == std::string::npos ? "" : "\n"));
  EXPECT_EQ(0, Client("send WMU_BOSSKEY"));
  EXPECT_NE(std::string::npos, out.find("-5"));
  EXPECT_EQ(0, Client("send 1065 0x0 0"));
  EXPECT_EQ('0', out[0]);
  std::vector<Received> expected = {{1058, 1, 7}, {1057, 0, 0}, {1065, 0, 0}};
  EXPECT_TRUE(expected == g_received);
}

TEST_F(QvTbClient, WithoutTheWindowEndsWithTwo) {
  ASSERT_EQ(nullptr, FindWindowA(qvt::kTrayClass, nullptr));
  EXPECT_EQ(2, Client("post WMU_BOSSKEY"));
  EXPECT_EQ(2, Client("send WMU_RESTORETRAY"));
  EXPECT_EQ("", out);
}

TEST_F(QvTbClient, BadUsageEndsWithOneAndExplains) {
  tray = CreateFakeTray();
  for (const char* arguments : {"", "post", "poke WM_CLOSE", "post WMU_NOPE", "post 12abc", "send 1041 0x",
                                "post 1041 4294967296", "send 1041 1 2 3"}) {
    EXPECT_EQ(1, Client(arguments)) << arguments;
    EXPECT_NE(std::string::npos, err.find("usage: qvtbclient.exe")) << arguments;
  }
  EXPECT_TRUE(g_received.empty());
}

struct StuckWindow {
  HANDLE created;
  HANDLE release;
};

DWORD WINAPI StuckWindowThread(LPVOID p) {
  auto* s = static_cast<StuckWindow*>(p);
  HWND w = CreateFakeTray();
  SetEvent(s->created);
  WaitForSingleObject(s->release, 30000);  // pumps nothing meanwhile
  if (w) DestroyWindow(w);
  return 0;
}

TEST_F(QvTbClient, SendToAWindowThatDoesNotAnswerEndsWithThree) {
  StuckWindow stuck = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, StuckWindowThread, &stuck, 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stuck.created, kRunMs));
  EXPECT_EQ(3, Client("send WMU_BOSSKEY"));
  EXPECT_EQ("", out);
  SetEvent(stuck.release);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
  CloseHandle(thread);
  CloseHandle(stuck.created);
  CloseHandle(stuck.release);
}

}  // namespace
