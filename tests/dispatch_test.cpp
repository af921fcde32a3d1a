// Choosing the applet: invocation names, the listing, re-dispatch on the
// first argument, and "--help".
#include "harness.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace harness;

namespace {

const char nc_usage[] = "nc [IP] [port]\n\nNetcat opens a pipe to IP:port\n";
const char ping_usage[] =
	"ping [OPTION]... host\n\nSend ICMP ECHO_REQUEST packets to network hosts.\n\n"
	"Options:\n\t-c COUNT\tSend only COUNT pings.\n"
	"\t-s SIZE\t\tSend SIZE data bytes in packets (default=56).\n"
	"\t-q\t\tQuiet mode, only displays output at start\n\t\t\tand when finished.\n";
const char ifconfig_usage[] =
	"ifconfig [-a] [-i] [-v] <interface> [<address>]\n\nconfigure a network interface\n\n"
	"Options:\n  [[-]broadcast [<address>]]  [[-]pointopoint [<address>]]\n"
	"  [netmask <address>]  [dstaddr <address>]  [tunnel <adress>]\n"
	"  [hw ether <address>]  [metric <NN>]  [mtu <NN>]\n"
	"  [[-]trailers]  [[-]arp]  [[-]allmulti]\n  [multicast]  [[-]promisc]\n"
	"  [mem_start <NN>]  [io_addr <NN>]  [irq <NN>]  [media <type>]\n  [up|down] ...\n\n";
const char route_usage[] = "route [{add|del|flush}]\n\nList kernel routing tables\n";
const char wget_usage[] =
	"wget [-c] [-O file] url\n\nwget retrieves files via HTTP\n\nOptions:\n"
	"\t-c\tcontinue retrieval of aborted transfers\n\t-O\tsave to filename ('-' for stdout)\n";

struct Case {
	const char *what;
	std::vector<std::string> argv;  // argv[0] is the invocation name; the file run is the program
	std::string err;
	int status;
};

const Case cases[] = {
	{"own name, no arguments", {"marlet-pico"}, listing(), 255},
	{"own name through a path", {"/usr/local/bin/marlet-pico"}, listing(), 255},
	{"a name that is no applet's", {"netkit"}, listing(), 255},
	{"a name ending in a slash is empty", {"/bin/nc/"}, listing(), 255},
	{"an empty name", {""}, listing(), 255},
	{"names are case-sensitive", {"NC", "127.0.0.1", "1"}, listing(), 255},
	{"--help under the own name is no applet", {"marlet-pico", "--help"}, listing(), 255},
	{"a first argument that is no applet", {"marlet-pico", "netcat", "x"}, listing(), 255},
	{"a second arrival lists", {"marlet-pico", "marlet-pico", "nc"}, listing(), 255},
	{"a second arrival through a path lists", {"marlet-pico", "/sbin/marlet-pico", "nc", "h", "1"}, listing(), 255},
	{"re-dispatch to a name that is no applet's", {"other", "also-other"}, listing(), 255},

	{"--help", {"nc", "--help"}, usage(nc_usage), 1},
	{"--help through a path", {"/usr/bin/nc", "--help"}, usage(nc_usage), 1},
	{"--help with more arguments", {"nc", "--help", "127.0.0.1", "80"}, usage(nc_usage), 1},
	{"--help after re-dispatch", {"marlet-pico", "nc", "--help"}, usage(nc_usage), 1},
	{"--help after re-dispatch through a path", {"marlet-pico", "/bin/nc", "--help"}, usage(nc_usage), 1},
	{"--help is matched whole", {"nc", "--helpme"}, usage(nc_usage), 1},
	{"--help for ping", {"ping", "--help"}, usage(ping_usage), 1},
	{"--help for ifconfig", {"/sbin/ifconfig", "--help"}, usage(ifconfig_usage), 1},
	{"--help for route", {"route", "--help"}, usage(route_usage), 1},
	{"--help for wget", {"wget", "--help"}, usage(wget_usage), 1},
	// Later in the vector it is the applet's: nc takes it for a port, atoi gives 0.
	{"--help third is left to the applet", {"nc", "127.0.0.1", "--help"}, "nc: connect: Connection refused\n", 1},
	{"re-dispatch names diagnostics after the applet",
	 {"marlet-pico", "/usr/bin/nc", "127.0.0.1", "0"}, "nc: connect: Connection refused\n", 1},
};

TEST(Dispatch, Table)
{
	for (const Case &c : cases) {
		Result r = run_as(c.argv[0], {c.argv.begin() + 1, c.argv.end()});
		EXPECT_EQ(r.err, c.err) << c.what;
		EXPECT_EQ(r.out, "") << c.what;
		EXPECT_EQ(r.status, c.status) << c.what;
	}
}

TEST(Dispatch, ThroughInstalledLinks)
{
	const std::pair<const char *, const char *> applets[] = {
		{"ifconfig", ifconfig_usage}, {"nc", nc_usage}, {"ping", ping_usage},
		{"route", route_usage}, {"wget", wget_usage}};
	for (const auto &[applet, text] : applets) {
		Result r = run_applet(applet, {"--help"});
		EXPECT_EQ(r.err, usage(text)) << applet;
		EXPECT_EQ(r.status, 1) << applet;
	}
	Result r = run_applet("nc", {"127.0.0.1"});
	EXPECT_EQ(r.err, usage(nc_usage));
	EXPECT_EQ(r.status, 1);
}

TEST(Dispatch, EmptyArgumentVectorLists)
{
	SKIP_IF_EMULATED("it always hands the program an argv[0]");
	Result r = run_file(program(), {});
	EXPECT_EQ(r.err, listing());
	EXPECT_EQ(r.status, 255);
}

// Applets whose issue has not landed yet say so and fail.
TEST(Dispatch, UnbuiltAppletsFail)
{
	for (const char *applet : {"ifconfig", "ping", "route", "wget"}) {
		Result r = run_applet(applet, {});
		EXPECT_EQ(r.err, std::string(applet) + ": not available in this build yet\n");
		EXPECT_EQ(r.status, 1) << applet;
	}
}

// Under its own name with "nc" first, the toolbox runs nc as if invoked as
// nc: the vector is shifted by one in place, so that the process's command
// line reads "nc host port", with zero bytes where "marlet-pico " stood.
TEST(Dispatch, RedispatchShiftsTheArgumentsInPlace)
{
	for (const char *name : {"nc", "/bin/nc"}) {
		std::atomic<pid_t> pid{0};
		std::string cmdline, got;
		TcpServer server([&](int fd) {
			got = receive(fd);
			char path[64];
			snprintf(path, sizeof path, "/proc/%d/cmdline", pid.load());
			FILE *f = fopen(path, "r");
			char buf[256];
			size_t n = f ? fread(buf, 1, sizeof buf, f) : 0;
			if (f)
				fclose(f);
			cmdline.assign(buf, n);
			send_all(fd, "pong\n");
		});
		Options opt;
		opt.input = "ping\n";
		opt.pid = &pid;
		Result r = run_as("/opt/bin/marlet-pico", {name, "127.0.0.1", server.port_text()}, opt);
		EXPECT_EQ(r.out, "pong\n") << name;
		EXPECT_EQ(r.err, "") << name;
		EXPECT_EQ(r.status, 0) << name;
		EXPECT_EQ(got, "ping\n") << name;
		std::string shifted = std::string(name) + '\0' + "127.0.0.1" + '\0' + server.port_text() + '\0';
		if (!emulated()) {  // under one, /proc shows the emulator's command line
			EXPECT_EQ(cmdline, shifted + std::string(strlen("/opt/bin/marlet-pico") + 1, '\0')) << name;
		}
	}
}

}  // namespace
