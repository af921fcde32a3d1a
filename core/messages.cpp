#include "core/toolbox.h"

#include <arpa/inet.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char *applet_name = "marlet-pico";

const char version_text[] = "0.1pre";
const char build_stamp[] = "2001.03.05-08:12+0000";

void print_banner()
{
	fprintf(stderr, "marlet-pico v%s (%s) network toolbox\n\n", version_text, build_stamp);
}

void show_usage(const char *usage_text)
{
	print_banner();
	fprintf(stderr, "Usage: %s\n", usage_text);
	exit(1);
}

void vwarn_msg(const char *fmt, va_list ap)
{
	fflush(stdout);
	fprintf(stderr, "%s: ", applet_name);
	vfprintf(stderr, fmt, ap);
	fflush(stderr);
}

void vwarn_errno(const char *fmt, va_list ap)
{
	// Taken first: flushing stdout may fail and overwrite errno.
	int err = errno;

	fflush(stdout);
	fprintf(stderr, "%s: ", applet_name);
	if (fmt && *fmt) {
		vfprintf(stderr, fmt, ap);
		fputs(": ", stderr);
	}
	fprintf(stderr, "%s\n", strerror(err));
	fflush(stderr);
}

void warn_msg(const char *fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	vwarn_msg(fmt, ap);
	va_end(ap);
}

void warn_errno(const char *fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	vwarn_errno(fmt, ap);
	va_end(ap);
}

void die_msg(const char *fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	vwarn_msg(fmt, ap);
	va_end(ap);
	exit(1);
}

void die_errno(const char *fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	vwarn_errno(fmt, ap);
	va_end(ap);
	exit(1);
}

char *strdup_or_die(const char *text)
{
	if (!text)
		return nullptr;
	char *copy = strdup(text);
	if (!copy)
		die_msg("memory exhausted\n");
	return copy;
}

void copy_bounded(char *dst, const char *src, size_t size)
{
	dst[size - 1] = '\0';
	strncpy(dst, src, size - 1);
}

int parse_inet_or_default(const char *text, sockaddr_in *addr)
{
	addr->sin_family = AF_INET;
	addr->sin_port = 0;
	if (strcmp(text, "default") == 0) {
		addr->sin_addr.s_addr = INADDR_ANY;
		return 1;
	}
	return inet_aton(text, &addr->sin_addr) ? 0 : -1;
}
