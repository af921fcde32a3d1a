#include "core/toolbox.h"

extern const char route_usage[] =
	"route [{add|del|flush}]\n\n"
	"List kernel routing tables\n";

int route_entry(int, char **)
{
	die_msg("not available in this build yet\n");
}
