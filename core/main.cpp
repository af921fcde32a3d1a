// Entry of marlet-pico: picks the applet by the name the program runs under,
// or, under its own name, by the first argument.
#include "core/toolbox.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <iterator>

static constexpr Applet applets[] = {
	{"ifconfig", ifconfig_entry, 0, ifconfig_usage},
	{"marlet-pico", multicall_entry, 1, nullptr},
	{"nc", nc_entry, 0, nc_usage},
	{"ping", ping_entry, 1, ping_usage},
	{"route", route_entry, 0, route_usage},
	{"wget", wget_entry, 0, wget_usage},
	{},
};
static constexpr size_t applet_count = std::size(applets) - 1;

static constexpr bool names_ascend()
{
	for (size_t i = 1; i < applet_count; i++) {
		const char *a = applets[i - 1].name, *b = applets[i].name;
		while (*a && *a == *b)
			a++, b++;
		if ((unsigned char)*a >= (unsigned char)*b)
			return false;
	}
	return true;
}
static_assert(names_ascend(), "bsearch needs the applets in strcmp order");

static int multicall_reentered;

static int compare_applet_names(const void *name, const void *row)
{
	return strcmp(static_cast<const char *>(name), static_cast<const Applet *>(row)->name);
}

static void drop_privileges()
{
	// The group goes first: once the user is unprivileged, setgid could no
	// longer clear a saved set-group-ID.
	if (setgid(getgid()) != 0)
		die_errno("setgid");
	if (setuid(getuid()) != 0)
		die_errno("setuid");
}

[[noreturn]] static void dispatch(int argc, char **argv)
{
	applet_name = argv[0];
	for (const char *p = argv[0]; *p; p++)
		if (*p == '/')
			applet_name = p + 1;

	auto row = static_cast<const Applet *>(
		bsearch(applet_name, applets, applet_count, sizeof *applets, compare_applet_names));
	if (!row)
		multicall_entry(argc, argv);
	if (row->usage_text && argv[1] && strcmp(argv[1], "--help") == 0)
		show_usage(row->usage_text);
	if (row->keep_privileges != 1)
		drop_privileges();
	exit(row->entry(argc, argv));
}

static void print_listing()
{
	print_banner();
	fputs("Usage: marlet-pico [function] [arguments]...\n"
	      "   or: function [arguments]...\n\n"
	      "\tRun one of the functions below, named either by the first argument\n"
	      "\tor by the name the program is called under (usually a link).\n\n"
	      "Defined functions:\n", stderr);
	int column = 0;
	for (const Applet *a = applets; a->name; a++) {
		column += fprintf(stderr, "%s%s", column ? ", " : "\t", a->name);
		if (column > 60) {
			if (!a[1].name)
				break;
			fputs(",\n", stderr);
			column = 0;
		}
	}
	fputs("\n\n", stderr);
}

// Drops argv[0]. The texts are moved down in place as well, so that the
// process's command line reads as if the applet had been run directly; this
// is done only when they lie back to back, as the kernel lays them out.
static void shift_arguments(int argc, char **argv)
{
	size_t gap = strlen(argv[0]) + 1;
	bool packed = true;
	for (int i = 0; i + 1 < argc; i++)
		packed &= argv[i] + strlen(argv[i]) + 1 == argv[i + 1];
	if (packed) {
		size_t moved = argv[argc - 1] + strlen(argv[argc - 1]) - argv[1];
		memmove(argv[0], argv[1], moved);
		memset(argv[0] + moved, 0, gap);
	}
	memmove(argv, argv + 1, argc * sizeof *argv);
	if (packed)
		for (int i = 0; i < argc - 1; i++)
			argv[i] -= gap;
}

int multicall_entry(int argc, char **argv)
{
	if (argc < 2 || multicall_reentered) {
		print_listing();
		exit(-1);
	}
	multicall_reentered = 1;
	shift_arguments(argc, argv);
	dispatch(argc - 1, argv);
}

int main(int argc, char **argv)
{
	if (argc < 1 || !argv[0])
		multicall_entry(0, argv);
	dispatch(argc, argv);
}
