// Shared by every applet of marlet-pico: the applet row, the running
// applet's name, the diagnostics and the small helpers.
#pragma once

#include <netinet/in.h>
#include <stdarg.h>
#include <stddef.h>

using applet_entry_fn = int (*)(int argc, char **argv);

struct Applet {
	const char *name;
	applet_entry_fn entry;
	int keep_privileges;      // 1: run with the identities the process started with
	const char *usage_text;   // null for the toolbox's own applet
};

// Points into argv[0], just after its last '/'.
extern const char *applet_name;

extern const char version_text[];
extern const char build_stamp[];

// Banner, then "Usage: " and the text, on stderr; exits 1.
[[noreturn]] void show_usage(const char *usage_text);
void print_banner();

// "<applet_name>: " and the message on stderr, after flushing stdout.
// The _errno forms end the line with ": " and the system's text for errno.
void vwarn_msg(const char *fmt, va_list ap);
void vwarn_errno(const char *fmt, va_list ap);
void warn_msg(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void warn_errno(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void die_msg(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
[[noreturn]] void die_errno(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

char *strdup_or_die(const char *text);
// Always terminates dst within size bytes; a longer src is cut silently.
void copy_bounded(char *dst, const char *src, size_t size);
// 1 for "default" (0.0.0.0), 0 for an address inet_aton takes, -1 otherwise.
int parse_inet_or_default(const char *text, sockaddr_in *addr);

// The applets and their usage texts, each defined in the applet's folder.
[[noreturn]] int multicall_entry(int argc, char **argv);
int ifconfig_entry(int argc, char **argv);
int nc_entry(int argc, char **argv);
int ping_entry(int argc, char **argv);
int route_entry(int argc, char **argv);
int wget_entry(int argc, char **argv);

extern const char ifconfig_usage[];
extern const char nc_usage[];
extern const char ping_usage[];
extern const char route_usage[];
extern const char wget_usage[];
