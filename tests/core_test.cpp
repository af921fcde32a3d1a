// The diagnostics and shared helpers, called directly.
#include "core/toolbox.h"

// warn_errno("") is a case of its own: a message of no words.
#pragma GCC diagnostic ignored "-Wformat-zero-length"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace {

struct Captured {
	std::string out;  // stdout and stderr together, in the order they were written
	int status;
};

std::string slurp(int fd)
{
	std::string s;
	char buf[4096];
	ssize_t n;
	lseek(fd, 0, SEEK_SET);
	while ((n = read(fd, buf, sizeof buf)) > 0)
		s.append(buf, n);
	return s;
}

// Runs fn in a child whose stdout and stderr share one file; stdout is
// fully buffered there, as it is when redirected. With stdout_full, stdout
// is /dev/full instead, so flushing it fails.
Captured capture(const std::function<void()> &fn, bool stdout_full = false)
{
	FILE *tmp = tmpfile();
	int fd = fileno(tmp);
	fflush(nullptr);
	pid_t pid = fork();
	if (pid == 0) {
		dup2(fd, 2);
		if (stdout_full)
			dup2(open("/dev/full", O_WRONLY), 1);
		else
			dup2(fd, 1);
		setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
		applet_name = "tester";
		fn();
		fflush(nullptr);
		_exit(0);
	}
	int status = 0;
	waitpid(pid, &status, 0);
	Captured c{slurp(fd), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
	fclose(tmp);
	return c;
}

struct DiagnosticCase {
	const char *what;
	std::function<void()> call;
	const char *expected;
	int status;
};

const DiagnosticCase diagnostic_cases[] = {
	{"warn_msg takes a format and adds no line end",
	 [] { warn_msg("cannot resolve %s\n", "nowhere"); }, "tester: cannot resolve nowhere\n", 0},
	{"warn_msg without a line end leaves the line open",
	 [] { warn_msg("half"); warn_msg("next\n"); }, "tester: halftester: next\n", 0},
	{"warn_errno ends the line with the system's text",
	 [] { errno = ECONNREFUSED; warn_errno("connect"); }, "tester: connect: Connection refused\n", 0},
	{"warn_errno with arguments",
	 [] { errno = ENOENT; warn_errno("fopen(%s)", "x.tar"); }, "tester: fopen(x.tar): No such file or directory\n", 0},
	{"warn_errno with an empty format has no second colon",
	 [] { errno = EACCES; warn_errno(""); }, "tester: Permission denied\n", 0},
	{"vwarn_errno with a null format has no second colon",
	 [] { errno = EACCES; va_list none{}; vwarn_errno(nullptr, none); }, "tester: Permission denied\n", 0},
	{"warn_msg flushes pending stdout first",
	 [] { printf("regular output "); warn_msg("late\n"); }, "regular output tester: late\n", 0},
	{"warn_errno flushes pending stdout first",
	 [] { printf("out "); errno = EPIPE; warn_errno("write"); }, "out tester: write: Broken pipe\n", 0},
	{"die_msg prints and exits 1",
	 [] { die_msg("cannot resolve %s\n", "h"); }, "tester: cannot resolve h\n", 1},
	{"die_errno prints and exits 1, through exit so stdout is flushed",
	 [] { errno = ETIMEDOUT; printf("partial"); fflush(stdout); printf(" tail"); die_errno("read"); },
	 "partial tail" "tester: read: Connection timed out\n", 1},
	{"show_usage prints the banner and the usage, and exits 1",
	 [] { show_usage("nc [IP] [port]\n\nNetcat opens a pipe to IP:port\n"); },
	 "marlet-pico v0.1pre (2001.03.05-08:12+0000) network toolbox\n\n"
	 "Usage: nc [IP] [port]\n\nNetcat opens a pipe to IP:port\n\n", 1},
	{"strdup_or_die of null gives null and prints nothing",
	 [] { if (strdup_or_die(nullptr)) puts("not null"); }, "", 0},
};

TEST(Diagnostics, Formats)
{
	for (const DiagnosticCase &c : diagnostic_cases) {
		Captured got = capture(c.call);
		EXPECT_EQ(got.out, c.expected) << c.what;
		EXPECT_EQ(got.status, c.status) << c.what;
	}
}

TEST(Diagnostics, ErrnoSurvivesAFailingStdout)
{
	// Flushing stdout into a full device fails with ENOSPC; the message
	// still names the error of the call that failed.
	Captured got = capture([] { printf("pending"); errno = ECONNREFUSED; die_errno("connect"); }, true);
	EXPECT_EQ(got.out, "tester: connect: Connection refused\n");
	EXPECT_EQ(got.status, 1);
}

TEST(StrdupOrDie, Copies)
{
	const char text[] = "http://proxy:3128/";
	char *copy = strdup_or_die(text);
	ASSERT_NE(copy, nullptr);
	EXPECT_NE(copy, text);
	EXPECT_STREQ(copy, text);
	free(copy);
}

TEST(StrdupOrDie, EndsTheProgramWhenMemoryRunsOut)
{
	Captured got = capture([] {
		static std::string big(64 << 20, 'x');
		rlimit lim{};
		getrlimit(RLIMIT_AS, &lim);
		long pages = 0;
		FILE *f = fopen("/proc/self/statm", "r");
		if (!f || fscanf(f, "%ld", &pages) != 1)
			_exit(3);
		lim.rlim_cur = pages * sysconf(_SC_PAGESIZE) + (8 << 20);
		setrlimit(RLIMIT_AS, &lim);
		if (malloc(32 << 20))
			_exit(77);
		strdup_or_die(big.c_str());
		puts("copied");
	});
	if (got.status == 77)
		GTEST_SKIP() << "the address-space limit is not enforced here (qemu ignores it)";
	EXPECT_EQ(got.out, "tester: memory exhausted\n");
	EXPECT_EQ(got.status, 1);
}

struct CopyCase {
	const char *source;
	size_t size;
	const char *expected;  // all 16 bytes of a buffer that starts filled with '#'
};

TEST(CopyBounded, TerminatesWithinTheSizeAndCutsSilently)
{
	const CopyCase cases[] = {
		{"eth0:1.longer-name", 16, "eth0:1.longer-n\0"},
		{"abc", 16, "abc\0\0\0\0\0\0\0\0\0\0\0\0\0"},
		{"exactly15chars!", 16, "exactly15chars!\0"},
		{"abc", 1, "\0###############"},
		{"abcdef", 4, "abc\0############"},
		{"", 4, "\0\0\0\0############"},
	};
	for (const CopyCase &c : cases) {
		char buf[16];
		memset(buf, '#', sizeof buf);
		copy_bounded(buf, c.source, c.size);
		EXPECT_EQ(std::string(buf, 16), std::string(c.expected, 16)) << '"' << c.source << "\" size " << c.size;
	}
}

struct InetCase {
	const char *text;
	int result;
	const char *address;  // dotted quad, or null where it is not relied on
};

TEST(ParseInetOrDefault, Table)
{
	const InetCase cases[] = {
		{"default", 1, "0.0.0.0"},
		{"10.0.0.1", 0, "10.0.0.1"},
		{"10.1", 0, "10.0.0.1"},
		{"192.168.1", 0, "192.168.0.1"},
		{"0x7f.1", 0, "127.0.0.1"},
		{"255.255.255.255", 0, "255.255.255.255"},
		{"0.0.0.0", 0, "0.0.0.0"},
		{"Default", -1, nullptr},
		{"defaults", -1, nullptr},
		{"localhost", -1, nullptr},
		{"1.2.3.4.5", -1, nullptr},
		{"256.1.1.1", -1, nullptr},
		{"", -1, nullptr},
	};
	for (const InetCase &c : cases) {
		sockaddr_in sa;
		memset(&sa, 0xaa, sizeof sa);
		int got = parse_inet_or_default(c.text, &sa);
		EXPECT_EQ(got, c.result) << c.text;
		EXPECT_EQ(sa.sin_family, AF_INET) << c.text;
		EXPECT_EQ(sa.sin_port, 0) << c.text;
		EXPECT_EQ(std::string(reinterpret_cast<char *>(sa.sin_zero), 8), std::string(8, '\xaa'))
			<< c.text << ": sin_zero is the caller's";
		if (c.address) {
			EXPECT_STREQ(inet_ntoa(sa.sin_addr), c.address) << c.text;
		}
	}
}

}  // namespace
