# Compile and link options for the shipped code: small, no exceptions or
# RTTI, no unwind tables, unused sections dropped, C library only.
add_library(marlet_lean INTERFACE)
target_compile_options(marlet_lean INTERFACE
	-Os -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
	-ffunction-sections -fdata-sections -fno-threadsafe-statics
	-Wall -Wextra)
target_link_options(marlet_lean INTERFACE
	-Wl,--gc-sections -Wl,--as-needed -Wl,-O1 -Wl,--hash-style=gnu
	-Wl,--build-id=none -Wl,-z,noseparate-code
	# Segments aligned to 4 KiB pages rather than the 64 KiB that PowerPC's
	# linker allows for, which would pad the file by as much.
	-Wl,-z,max-page-size=4096 -Wl,-z,common-page-size=4096)
