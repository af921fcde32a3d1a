// The yardstick for nc: a plain 8 KiB read/write loop over one TCP
// connection, one direction at a time.
//   copy8k up HOST PORT     stdin to the connection, then waits for its end
//   copy8k down HOST PORT   the connection to stdout
#include <arpa/inet.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

static int copy(int from, int to)
{
	char buf[8192];
	ssize_t n;
	while ((n = read(from, buf, sizeof buf)) > 0)
		for (ssize_t done = 0, w; done < n; done += w)
			if ((w = write(to, buf + done, n - done)) < 0)
				return 1;
	return n < 0;
}

int main(int argc, char **argv)
{
	if (argc != 4)
		return 2;
	int sock = socket(AF_INET, SOCK_STREAM, 0);
	sockaddr_in addr{};
	addr.sin_family = AF_INET;
	addr.sin_port = htons(atoi(argv[3]));
	inet_aton(argv[2], &addr.sin_addr);
	if (connect(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr))
		return 1;
	if (strcmp(argv[1], "up") == 0) {
		int r = copy(0, sock);
		shutdown(sock, SHUT_WR);
		char c;
		while (read(sock, &c, 1) > 0) {
		}
		return r;
	}
	return copy(sock, 1);
}
