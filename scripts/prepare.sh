# Sourced by run.sh and test.sh with `root` set: installs what is missing, builds
# the 32-bit product, and builds the architecture this host can execute (see
# host-arch.sh). Leaves that architecture in `arch` and its tree in `QL_BUILD`.
"$root/scripts/setup.sh"
"$root/scripts/build.sh" i686
arch=$("$root/scripts/host-arch.sh")
[ "$arch" = i686 ] || "$root/scripts/build.sh" "$arch"
QL_ARCH=$arch
QL_BUILD=${QL_BUILD_ROOT:-$root/build}/$arch
