// nc: connects to a TCP server and pipes stdin to it and its replies to
// stdout until the server ends the connection.
#include "core/toolbox.h"

#include <errno.h>
#include <netdb.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

extern const char nc_usage[] =
	"nc [IP] [port]\n\n"
	"Netcat opens a pipe to IP:port\n";

static ssize_t write_all(int fd, const char *buf, size_t len)
{
	size_t done = 0;
	while (done < len) {
		ssize_t n = write(fd, buf + done, len - done);
		if (n < 0)
			return -1;
		done += n;
	}
	return done;
}

static ssize_t read_retry(int fd, char *buf, size_t size)
{
	ssize_t n;
	do
		n = read(fd, buf, size);
	while (n < 0 && errno == EINTR);
	return n;
}

int nc_entry(int argc, char **argv)
{
	if (argc < 3 || argv[1][0] == '-')
		show_usage(nc_usage);

	int sock = socket(AF_INET, SOCK_STREAM, 0);
	if (sock < 0)
		die_errno("socket");
	hostent *host = gethostbyname(argv[1]);
	if (!host)
		die_msg("cannot resolve %s\n", argv[1]);

	sockaddr_in addr{};
	addr.sin_family = AF_INET;
	memcpy(&addr.sin_addr, host->h_addr_list[0], sizeof addr.sin_addr);
	addr.sin_port = htons(static_cast<uint16_t>(atoi(argv[2])));
	if (connect(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0)
		die_errno("connect");

	// stdin is served first when both are ready. With stdin closed at
	// start the socket took descriptor 0, and only the socket is watched.
	pollfd watched[2] = {{sock == 0 ? -1 : 0, POLLIN, 0}, {sock, POLLIN, 0}};
	char buf[8192];
	for (;;) {
		// With stdin gone the socket is watched alone, and its blocking
		// read waits for it as well as poll would.
		if (watched[0].fd < 0)
			watched[1].revents = POLLIN;
		else if (poll(watched, 2, -1) < 0)
			die_errno("select");
		for (pollfd &p : watched) {
			if (p.fd < 0 || !p.revents)
				continue;
			ssize_t n = read_retry(p.fd, buf, sizeof buf);
			if (n < 0)
				die_errno("read");
			if (n == 0) {
				if (p.fd == sock)
					exit(0);
				// Nothing more can reach the server. A descriptor at end
				// of file stays ready, so stdin leaves the watched set.
				shutdown(sock, SHUT_WR);
				p.fd = -1;
				continue;
			}
			if (write_all(p.fd == sock ? 1 : sock, buf, n) < 0)
				die_errno("write");
		}
	}
}
