# Shared by the scripts that use the Debian 13 chroot (sourced, not run).
TRIXIE_ROOT=${PDS_TRIXIE_ROOT:-/var/cache/pds/trixie}
# Where the Qt for Windows kit lives inside the chroot.
TRIXIE_KIT=/opt/qt6-mingw

# The Debian archive this machine's apt already uses.
trixie_mirror() {
    local u
    u=$(sed -n 's/^URIs: *\([^ ]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n 1 || true)
    [[ -n $u ]] || u=$(sed -n 's/^deb \(\[[^]]*\] \)\{0,1\}\([^ ]*\) .*/\2/p' /etc/apt/sources.list 2>/dev/null | grep -v security | head -n 1 || true)
    printf '%s' "${u:-http://deb.debian.org/debian}"
}

# Runs a bash command line inside the chroot, with /proc and /dev mounted in a private
# mount namespace, and the source tree $TRIXIE_SRC (when set) at /src/pds: the mounts
# vanish with the command, however it ends. Variables named in TRIXIE_ENV (NAME=VALUE
# words) are passed in.
trixie_run() {
    [[ -z ${TRIXIE_SRC:-} ]] || mkdir -p "$TRIXIE_ROOT/src/pds"
    unshare --mount --propagation private bash -c '
        root=$1 src=$2 command=$3
        mount -t proc proc "$root/proc"
        mount --rbind /dev "$root/dev"
        [[ -z $src ]] || mount --bind "$src" "$root/src/pds"
        exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
            DEBIAN_FRONTEND=noninteractive ${TRIXIE_ENV:-} bash -ec "$command"' \
        _ "$TRIXIE_ROOT" "${TRIXIE_SRC:-}" "$1"
}
