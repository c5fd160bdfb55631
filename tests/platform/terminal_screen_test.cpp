// The terminal itself: which terminals the dialogs are shown on, and that the
// terminal is given back as it was between dialogs. Each case runs in a child
// process whose stdin and stdout are a new pseudo-terminal.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/user32/terminal_screen.h"

namespace {

using platform::terminal::Screen;

// Runs `body` in a child on a pseudo-terminal with TERM set to `term`; the child's
// exit status is what `body` returns (0 for all well). The parent reads what the
// child draws so that it never blocks on a full terminal.
int OnATerminal(const char* term, const std::function<int()>& body) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return -1;
    const std::string slaveName = ptsname(master);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setsid();
        const int slave = open(slaveName.c_str(), O_RDWR);
        if (slave < 0) _exit(100);
        dup2(slave, 0);
        dup2(slave, 1);
        close(slave);
        close(master);
        setenv("TERM", term, 1);
        _exit(body());
    }
    int status = 0;
    for (;;) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) > 0 && (p.revents & POLLIN)) {
            char buf[4096];
            if (read(master, buf, sizeof buf) <= 0) {
                // The child is gone; its terminal has hung up.
            }
        }
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
    }
    close(master);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
}

int Check(bool ok, int code) { return ok ? 0 : code; }

TEST(TerminalScreen, DialogsAreShownOnlyOnATerminalThisSystemKnows) {
    std::string why;
    EXPECT_FALSE(Screen::Usable(why)) << "the tests run without a terminal";
    EXPECT_EQ(why, "stdin and stdout are not a terminal");

    EXPECT_EQ(OnATerminal("dumb",
                          [] {
                              std::string why;
                              if (Screen::Usable(why)) return 1;
                              return Check(why == "TERM names no terminal that can show dialogs", 2);
                          }),
              0);
    EXPECT_EQ(OnATerminal("no-such-terminal",
                          [] {
                              std::string why;
                              if (Screen::Usable(why)) return 1;
                              return Check(why.find("\"no-such-terminal\" is not known") != std::string::npos, 2);
                          }),
              0);
    EXPECT_EQ(OnATerminal("xterm",
                          [] {
                              std::string why;
                              return Check(Screen::Usable(why), 1);
                          }),
              0);
}

TEST(TerminalScreen, TheTerminalIsGivenBackAsItWasBetweenDialogs) {
    EXPECT_EQ(OnATerminal("xterm",
                          [] {
                              termios before{}, during{}, after{};
                              tcgetattr(0, &before);
                              if (!(before.c_lflag & ICANON) || !(before.c_lflag & ECHO)) return 1;
                              Screen screen;
                              std::string error;
                              if (!screen.Begin(error)) return 2;
                              tcgetattr(0, &during);
                              // A dialog reads keys one at a time and draws what is typed itself.
                              if ((during.c_lflag & ICANON) || (during.c_lflag & ECHO)) return 3;
                              screen.Suspend();
                              tcgetattr(0, &after);
                              if (after.c_lflag != before.c_lflag) return 4;
                              if (!screen.Begin(error)) return 5;
                              tcgetattr(0, &during);
                              if (during.c_lflag & ICANON) return 6;
                              return 0;
                          }),
              0);
}

}  // namespace
