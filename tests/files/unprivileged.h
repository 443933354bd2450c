/** @file unprivileged.h
 * Tests of permissions for real. Permission bits stop nothing for root (the CI machine runs the
 * suite as root), so as root such a test runs again in a new process of the same test program
 * which gives root up for the "nobody" user before anything else happens in it. */
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace unprivileged {

// Set in the child: the descriptor through which it reports that the body ran without root.
inline constexpr const char* REPORT_VARIABLE = "QEM_TEST_UNPRIVILEGED_REPORT";

// Before main (and so before any Qt object exists): the child gives root up for good.
inline bool drop_root_if_asked() {
    if (!std::getenv(REPORT_VARIABLE) || ::geteuid() != 0) return false;
    const passwd* nobody = ::getpwnam("nobody");
    uid_t uid = nobody ? nobody->pw_uid : 65534;
    gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0) {
        std::perror("giving up root");
        ::_exit(120);
    }
    // A change of user makes the process undumpable, which the leak checker's tracing needs.
    ::prctl(PR_SET_DUMPABLE, 1);
    return true;
}

inline const bool root_dropped = drop_root_if_asked();

}  // namespace unprivileged

// First thing in a test body: `if (rerun_unprivileged()) return;`
// As root: runs this one test again in a child process as "nobody", fails here when the child
// fails or did not run the body without root, and returns true. As any other user (also in
// that child): returns false, and the body goes on in this process.
inline bool rerun_unprivileged() {
    using namespace unprivileged;
    if (::geteuid() != 0) {
        if (const char* report = std::getenv(REPORT_VARIABLE)) {
            ssize_t written = ::write(std::atoi(report), "ran", 3);
            EXPECT_EQ(written, 3);
        }
        return false;
    }
    if (std::getenv(REPORT_VARIABLE)) {
        ADD_FAILURE() << "the child is still root";
        return true;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    int report[2];
    EXPECT_EQ(::pipe(report), 0);
    // Everything the child needs is made here: after fork only async-signal-safe calls are safe.
    std::string variable = std::string(REPORT_VARIABLE) + "=" + std::to_string(report[1]);
    std::vector<char*> environment;
    for (char** entry = environ; *entry; ++entry)
        if (std::strncmp(*entry, REPORT_VARIABLE, std::strlen(REPORT_VARIABLE)) != 0) environment.push_back(*entry);
    environment.push_back(variable.data());
    environment.push_back(nullptr);
    std::string program = "/proc/self/exe";
    std::vector<char*> arguments{program.data(), filter.data(), nullptr};
    pid_t child = ::fork();
    EXPECT_GE(child, 0);
    if (child == 0) {
        ::close(report[0]);
        // The parent's folders may be closed to "nobody"; the test makes its own.
        if (::chdir("/") != 0) ::_exit(121);
        ::execve(program.c_str(), arguments.data(), environment.data());
        ::_exit(122);
    }
    ::close(report[1]);
    std::string reported;
    char buffer[16];
    ssize_t got;
    while ((got = ::read(report[0], buffer, sizeof buffer)) > 0) reported.append(buffer, static_cast<std::size_t>(got));
    ::close(report[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the test failed as \"nobody\" (status " << status << "); its output is above";
    EXPECT_EQ(reported, "ran") << "the child did not run the test without root";
    return true;
}
