#include "core/toolbox.h"

extern const char wget_usage[] =
	"wget [-c] [-O file] url\n\n"
	"wget retrieves files via HTTP\n\n"
	"Options:\n"
	"\t-c\tcontinue retrieval of aborted transfers\n"
	"\t-O\tsave to filename ('-' for stdout)\n";

int wget_entry(int, char **)
{
	die_msg("not available in this build yet\n");
}
