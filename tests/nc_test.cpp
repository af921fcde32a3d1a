// nc against real servers on loopback.
#include "harness.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

using namespace harness;

namespace {

const std::string nc_usage = usage("nc [IP] [port]\n\nNetcat opens a pipe to IP:port\n");

TEST(Nc, WrongArgumentsShowTheUsage)
{
	const std::vector<std::string> cases[] = {{}, {"127.0.0.1"}, {"-l", "80"}, {"-", "80"}, {"-h", "x", "y"}};
	for (const auto &args : cases) {
		Result r = run_applet("nc", args);
		EXPECT_EQ(r.err, nc_usage) << testing::PrintToString(args);
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.status, 1);
	}
}

// The server reads to the end of nc's input, then answers: nc shut its
// sending side at its end of input and still copies the answer.
TEST(Nc, PipesBothWaysAndHalfClosesAtEndOfInput)
{
	struct Case {
		const char *host;
		long port_offset;  // the port is taken modulo 65536
		const char *trailing;
	};
	const Case cases[] = {{"127.0.0.1", 0, nullptr}, {"localhost", 65536, nullptr},
			      {"127.1", 2 * 65536, "ignored-extra-argument"}};
	for (const Case &c : cases) {
		std::string got;
		TcpServer server([&](int fd) {
			got = receive(fd);
			send_all(fd, "reply to " + std::to_string(got.size()) + " bytes\n");
		});
		std::vector<std::string> args{c.host, std::to_string(server.port() + c.port_offset)};
		if (c.trailing)
			args.push_back(c.trailing);
		Options opt;
		opt.input = "hello\nworld\n";
		Result r = run_applet("nc", args, opt);
		EXPECT_EQ(got, "hello\nworld\n") << c.host;
		EXPECT_EQ(r.out, "reply to 12 bytes\n") << c.host;
		EXPECT_EQ(r.err, "") << c.host;
		EXPECT_EQ(r.status, 0) << c.host;
	}
}

// Both directions at once, far more than one buffer each, with binary data.
TEST(Nc, LargeTransfersArriveWhole)
{
	const std::string up = random_bytes(24 << 20, 1), down = random_bytes(24 << 20, 2);
	std::string got;
	TcpServer server([&](int fd) { got = exchange(fd, down); });
	Options opt;
	opt.input = up;
	Result r = run_applet("nc", {"127.0.0.1", server.port_text()}, opt);
	EXPECT_EQ(r.status, 0);
	EXPECT_EQ(r.err, "");
	EXPECT_TRUE(got == up) << "server got " << got.size() << " of " << up.size() << " bytes";
	EXPECT_TRUE(r.out == down) << "stdout got " << r.out.size() << " of " << down.size() << " bytes";
}

// The server ends the connection while stdin is still open: nc ends with
// status 0 without waiting for its input.
TEST(Nc, ServerClosingFirstEndsTheRun)
{
	std::string got;
	TcpServer server([&](int fd) {
		got = receive(fd, 4);
		send_all(fd, "bye\n");
	});
	Options opt;
	opt.input = "abc\n";
	opt.keep_stdin_open = true;
	Result r = run_applet("nc", {"127.0.0.1", server.port_text()}, opt);
	EXPECT_FALSE(r.timed_out);
	EXPECT_EQ(got, "abc\n");
	EXPECT_EQ(r.out, "bye\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
}

TEST(Nc, StdinClosedAtStartOnlyCopiesFromTheServer)
{
	std::string got = "unset";
	TcpServer server([&](int fd) {
		send_all(fd, "greeting\n");
		shutdown(fd, SHUT_WR);
		got = receive(fd);
	});
	Options opt;
	opt.close_stdin = true;
	Result r = run_applet("nc", {"127.0.0.1", server.port_text()}, opt);
	EXPECT_EQ(r.out, "greeting\n");
	EXPECT_EQ(r.err, "");
	EXPECT_EQ(r.status, 0);
}

// After its end of input nc only waits for the server, using no CPU time.
TEST(Nc, DoesNotSpinAfterEndOfInput)
{
	TcpServer server([](int fd) {
		receive(fd);
		usleep(1500 * 1000);
		send_all(fd, "late\n");
	});
	Result r = run_applet("nc", {"127.0.0.1", server.port_text()});
	EXPECT_EQ(r.out, "late\n");
	EXPECT_EQ(r.status, 0);
	EXPECT_LT(r.cpu_seconds, 0.3);
}

// In a namespace of its own nothing listens and no name server answers.
TEST(Nc, Failures)
{
	NetNamespace ns;
	SKIP_UNLESS_NETNS(ns);
	struct Case {
		std::vector<std::string> args;
		const char *err;
	};
	const Case cases[] = {
		{{"127.0.0.1", "9"}, "nc: connect: Connection refused\n"},
		{{"127.0.0.1", "http"}, "nc: connect: Connection refused\n"},
		{{"no-such-host.invalid", "80"}, "nc: cannot resolve no-such-host.invalid\n"},
		{{"1.2.3.4.5", "80"}, "nc: cannot resolve 1.2.3.4.5\n"},
	};
	for (const Case &c : cases) {
		Result r = run_applet("nc", c.args);
		EXPECT_EQ(r.err, c.err) << c.args[0];
		EXPECT_EQ(r.out, "");
		EXPECT_EQ(r.status, 1);
	}
}

}  // namespace
