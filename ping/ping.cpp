#include "core/toolbox.h"

extern const char ping_usage[] =
	"ping [OPTION]... host\n\n"
	"Send ICMP ECHO_REQUEST packets to network hosts.\n\n"
	"Options:\n"
	"\t-c COUNT\tSend only COUNT pings.\n"
	"\t-s SIZE\t\tSend SIZE data bytes in packets (default=56).\n"
	"\t-q\t\tQuiet mode, only displays output at start\n"
	"\t\t\tand when finished.\n";

int ping_entry(int, char **)
{
	die_msg("not available in this build yet\n");
}
