#include "core/toolbox.h"

extern const char ifconfig_usage[] =
	"ifconfig [-a] [-i] [-v] <interface> [<address>]\n\n"
	"configure a network interface\n\n"
	"Options:\n"
	"  [[-]broadcast [<address>]]  [[-]pointopoint [<address>]]\n"
	"  [netmask <address>]  [dstaddr <address>]  [tunnel <adress>]\n"
	"  [hw ether <address>]  [metric <NN>]  [mtu <NN>]\n"
	"  [[-]trailers]  [[-]arp]  [[-]allmulti]\n"
	"  [multicast]  [[-]promisc]\n"
	"  [mem_start <NN>]  [io_addr <NN>]  [irq <NN>]  [media <type>]\n"
	"  [up|down] ...\n\n";

int ifconfig_entry(int, char **)
{
	die_msg("not available in this build yet\n");
}
