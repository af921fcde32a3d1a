// A set-user-ID and set-group-ID root install, run by an unprivileged user:
// which applets keep the privileges and which run with the real identities.
//
// The program's stderr is a pipe that is full before it starts, so its first
// message blocks it; while it is blocked its identities are read from /proc.
#include "harness.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

using namespace harness;

namespace {

constexpr uid_t user = 65534;   // nobody
constexpr gid_t group = 65534;  // nogroup
constexpr gid_t install_group = 1;

struct Ids {
	std::string uid, gid;  // real, effective, saved, file system
};

class SetuidInstall : public testing::Test {
protected:
	void SetUp() override
	{
		SKIP_IF_EMULATED("the emulator itself is not set-user-ID");
		if (geteuid() != 0)
			GTEST_SKIP() << "needs root to make a set-user-ID install";
		char tmpl[] = "/tmp/marlet-suid.XXXXXX";
		ASSERT_NE(mkdtemp(tmpl), nullptr);
		dir_ = tmpl;
		struct statvfs fs;
		if (statvfs(dir_.c_str(), &fs) == 0 && fs.f_flag & ST_NOSUID)
			GTEST_SKIP() << dir_ << " is mounted nosuid";
		std::string file = dir_ + "/marlet-pico";
		{
			std::ifstream in(program(), std::ios::binary);
			std::ofstream out(file, std::ios::binary);
			out << in.rdbuf();
		}
		ASSERT_EQ(chown(file.c_str(), 0, install_group), 0);
		ASSERT_EQ(chmod(file.c_str(), 06755), 0);
		ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
		for (const char *applet : {"ifconfig", "nc", "ping", "route", "wget"})
			ASSERT_EQ(symlink("marlet-pico", (dir_ + "/" + applet).c_str()), 0);
	}

	void TearDown() override
	{
		if (!dir_.empty())
			system(("rm -rf '" + dir_ + "'").c_str());
	}

	// Runs dir/argv[0] as the unprivileged user and reads its identities
	// while its first write to stderr is blocked.
	Ids probe(const std::vector<std::string> &argv)
	{
		int err[2];
		if (pipe2(err, O_CLOEXEC | O_NONBLOCK))
			return {};
		fcntl(err[1], F_SETPIPE_SZ, 4096);
		char fill[4096] = {};
		while (write(err[1], fill, sizeof fill) > 0) {
		}
		fcntl(err[1], F_SETFL, 0);

		std::string file = dir_ + "/" + argv[0];
		std::vector<char *> args;
		for (const std::string &a : argv)
			args.push_back(const_cast<char *>(a.c_str()));
		args.push_back(nullptr);
		args[0] = const_cast<char *>(file.c_str());

		pid_t pid = fork();
		if (pid == 0) {
			int null = open("/dev/null", O_RDWR);
			dup2(null, 0);
			dup2(null, 1);
			dup2(err[1], 2);
			if (setgroups(0, nullptr) || setgid(group) || setuid(user))
				_exit(126);
			execv(file.c_str(), args.data());
			_exit(127);
		}
		close(err[1]);

		Ids ids;
		std::string proc = "/proc/" + std::to_string(pid);
		for (int tries = 0; tries < 2000; tries++) {
			std::ifstream sc(proc + "/syscall");
			long nr = -1;
			std::string fd;
			sc >> nr >> fd;
			if ((nr == SYS_write || nr == SYS_writev) && fd == "0x2") {
				std::ifstream status(proc + "/status");
				for (std::string line; std::getline(status, line);) {
					if (line.rfind("Uid:", 0) == 0)
						ids.uid = line.substr(5);
					if (line.rfind("Gid:", 0) == 0)
						ids.gid = line.substr(5);
				}
				break;
			}
			usleep(5000);
		}

		char buf[4096];
		for (int i = 0; i < 1000; i++) {
			pollfd p{err[0], POLLIN, 0};
			if (poll(&p, 1, 10000) <= 0 || read(err[0], buf, sizeof buf) <= 0)
				break;
		}
		close(err[0]);
		int status;
		if (waitpid(pid, &status, WNOHANG) == 0) {
			kill(pid, SIGKILL);
			waitpid(pid, &status, 0);
		}
		return ids;
	}

	std::string dir_;
};

std::string ids(unsigned real, unsigned effective)
{
	std::ostringstream s;
	s << real << '\t' << effective << '\t' << effective << '\t' << effective;
	return s.str();
}

TEST_F(SetuidInstall, OnlyPingAndTheToolboxKeepPrivileges)
{
	struct Case {
		std::vector<std::string> argv;
		bool keeps;
	};
	const Case cases[] = {
		{{"marlet-pico"}, true},
		{{"ping"}, true},
		{{"marlet-pico", "/bin/ping"}, true},
		{{"nc"}, false},
		{{"ifconfig"}, false},
		{{"route"}, false},
		{{"wget"}, false},
		{{"marlet-pico", "nc"}, false},
		{{"marlet-pico", "wget", "-c"}, false},
		// "--help" is answered before the reset.
		{{"nc", "--help"}, true},
	};
	for (const Case &c : cases) {
		Ids got = probe(c.argv);
		std::string what = testing::PrintToString(c.argv);
		if (c.keeps) {
			EXPECT_EQ(got.uid, ids(user, 0)) << what;
			EXPECT_EQ(got.gid, ids(group, install_group)) << what;
		} else {
			// The saved set-group-ID is gone too.
			EXPECT_EQ(got.uid, ids(user, user)) << what;
			EXPECT_EQ(got.gid, ids(group, group)) << what;
		}
	}
}

}  // namespace
