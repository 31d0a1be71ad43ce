#!/usr/bin/env bash
# Runs a command of this repository inside a Linux guest whose kernel runs 32-bit x86
# programs, for machines whose own kernel does not (no IA-32 emulation: every i386 program
# fails with "Exec format error", so 32-bit Wine cannot start and the Wine tests skip).
#
#   scripts/wine-vm.sh                 scripts/test.sh in the guest: every test, none skipped
#   scripts/wine-vm.sh CMD [ARG...]    any command, run from the repository's top folder
#
# The guest is Debian 12 (amd64, with i386 added) under qemu-system-x86_64 in software
# emulation (TCG, no KVM needed), with the very packages scripts/setup.sh installs. Its disk
# image is built once under build/vm (debootstrap and apt-get, about 10 minutes and 4 GB) and
# reused; each run starts from the image unchanged (-snapshot). The guest takes its package
# sources from this machine's own apt configuration (/etc/apt/sources.list and
# /etc/apt/sources.list.d/, with the keyrings they name), and debootstrap takes the first
# archive address found there that serves the guest's release: whatever mirror this machine
# is set up for.
# The guest copies the repository, build folders included, to the same path on its own disk
# (CMake's build folders name absolute paths), runs the command there with its output streamed
# here, copies back build/*.log, and powers off. The exit code is the command's.
#
# Software emulation runs every program several times slower: a program start under Wine takes
# a second or two, unpacking a carried program a few hundred milliseconds. The scenarios'
# timing checks therefore allow each status up to TOVARA_E2E_EXTRA_MS (default 1500) more than
# its waits in the guest; a status shown too briefly still fails. The scenarios run one at a
# time there (TOVARA_E2E_JOBS, default 1): three at once in the emulated guest stretched the
# 1000-step count from 10 s to 38 s and left windows unshown for 30 s.
#
# Needs root (debootstrap, chroot). TOVARA_VM_MEMORY (MB, default 8192) and
# TOVARA_VM_TIMEOUT (minutes, default 85) tune it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
vm=$top/build/vm
suite=bookworm
[ $# -gt 0 ] || set -- scripts/test.sh

[ "$(id -u)" = 0 ] || { echo "wine-vm: needs root (debootstrap and chroot build the guest)"; exit 1; }

host_packages=(qemu-system-x86 debootstrap e2fsprogs)
missing=()
for p in "${host_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "wine-vm: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# apt_sources: this machine's package source files, one path a line (one-line .list files and
# deb822 .sources files; nothing disabled).
apt_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && echo "$f"
  done
}

# archive_address: the first address in those files that serves the release $suite itself.
archive_address() {
  local f
  apt_sources | while IFS= read -r f; do
    case $f in
      *.sources)
        awk -v s="$suite" 'BEGIN { RS = ""; FS = "\n" }
          { uris = ""; ok = 0; types = 0
            for (i = 1; i <= NF; i++) {
              if ($i ~ /^Types:/ && $i ~ /(^|[ \t])deb([ \t]|$)/) types = 1
              if ($i ~ /^URIs:/) { uris = $i; sub(/^URIs:[ \t]*/, "", uris) }
              if ($i ~ /^Suites:/) { n = split($i, w, /[ \t]+/); for (k = 2; k <= n; k++) if (w[k] == s) ok = 1 }
            }
            if (types && ok && uris != "") { split(uris, u, /[ \t]+/); print u[1] } }' "$f" ;;
      *)
        awk -v s="$suite" '$1 == "deb" { i = 2; if ($2 ~ /^\[/) while (i <= NF && $i !~ /\]$/) i++;
          if ($2 ~ /^\[/) i++; if ($(i + 1) == s) print $i }' "$f" ;;
    esac
  done | head -1
}

# The guest gets setup.sh's own package list, so setup.sh finds everything present there.
eval "$(sed -n '/^PACKAGES=(/,/^)/p' "$top/scripts/setup.sh")"
stamp=$(printf '%s\n' "$suite" "${PACKAGES[@]}" | sha256sum | cut -c1-16)

build_image() {
  local root=$vm/root
  local mirror f key
  mirror=$(archive_address)
  [ -n "$mirror" ] || { echo "wine-vm: no package source for $suite in this machine's apt configuration"; return 1; }
  echo "wine-vm: building the guest image in $vm (once), from $mirror"
  rm -rf "$root" "$vm/rootfs.img"
  mkdir -p "$vm"
  debootstrap --variant=minbase --include=kmod,linux-image-amd64,ca-certificates \
    "$suite" "$root" "$mirror" >"$vm/debootstrap.log" 2>&1 ||
    { echo "wine-vm: debootstrap failed (see $vm/debootstrap.log)"; return 1; }
  # The machine's own package sources, and the keyrings they name that the guest lacks.
  rm -f "$root/etc/apt/sources.list" "$root"/etc/apt/sources.list.d/*
  while IFS= read -r f; do
    mkdir -p "$root$(dirname "$f")"
    cp "$f" "$root$f"
    for key in $(grep -ohE '(signed-by=|Signed-By:[[:space:]]*)/[^] ]+' "$f" | sed -E 's/^(signed-by=|Signed-By:[[:space:]]*)//'); do
      [ -f "$key" ] && [ ! -f "$root$key" ] && mkdir -p "$root$(dirname "$key")" && cp "$key" "$root$key"
    done
  done < <(apt_sources)
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  local d
  for d in proc sys dev dev/pts; do mount --bind "/$d" "$root/$d"; done
  local rc=0
  chroot "$root" /bin/sh -c "dpkg --add-architecture i386 && apt-get update -q &&
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends ${PACKAGES[*]} &&
    apt-get clean" >"$vm/apt.log" 2>&1 || rc=$?
  for d in dev/pts dev sys proc; do umount "$root/$d"; done
  [ $rc = 0 ] || { echo "wine-vm: installing the guest's packages failed (see $vm/apt.log)"; return 1; }

  # The guest's first process: the basic file systems, the shared folder, then the job the
  # host left in the shared folder; power off when it ends.
  cat >"$root/sbin/tovara-init" <<'EOF'
#!/bin/sh
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
mount -t proc proc /proc; mount -t sysfs sys /sys; mount -t devtmpfs dev /dev
mkdir -p /dev/pts /dev/shm; mount -t devpts devpts /dev/pts; mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp; mount -t tmpfs tmpfs /run
mount -o remount,rw /
modprobe 9pnet_virtio; modprobe 9p
mkdir -p /host; mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 host /host
hostname tovara-vm
/bin/bash /host/build/vm/job.sh
sync; echo o >/proc/sysrq-trigger; sleep 60
EOF
  chmod 755 "$root/sbin/tovara-init"
  cp "$root"/boot/vmlinuz-* "$vm/vmlinuz"
  cp "$root"/boot/initrd.img-* "$vm/initrd.img"
  mke2fs -q -t ext4 -d "$root" -L root "$vm/rootfs.img.new" 16G
  mv "$vm/rootfs.img.new" "$vm/rootfs.img"
  rm -rf "$root"
  echo "$stamp" >"$vm/image.stamp"
}

if [ ! -f "$vm/rootfs.img" ] || [ "$(cat "$vm/image.stamp" 2>/dev/null)" != "$stamp" ]; then
  build_image
fi

# The job: copy the repository (not the VM folder, not a prefix booted on this machine) to the
# same path, run the command there, bring the logs back.
q() { printf '%q ' "$@"; }
thp=$(sed -n 's/.*\[\(.*\)\].*/\1/p' /sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null)
thp=${thp:-madvise}
cat >"$vm/job.sh" <<EOF
exec >>/host/build/vm/console.log 2>&1
top=$(q "$top")
mkdir -p "\$top"
tar -C /host --exclude=./build/vm --exclude=./build/wine-prefix --exclude=./build/wine64-prefix \
  --exclude=./build/wine64-bin -cf - . | tar -C "\$top" -xf -
cd "\$top"
export TOVARA_E2E_EXTRA_MS=${TOVARA_E2E_EXTRA_MS:-1500}
export TOVARA_E2E_JOBS=${TOVARA_E2E_JOBS:-1}
# Memory figures (bench/run.sh) depend on the kernel's transparent huge pages: the guest's
# kernel backs large anonymous blocks (the unpacking's) with 2 MB pages when its mode is
# "always". It takes this machine's mode.
echo $(q "$thp") >/sys/kernel/mm/transparent_hugepage/enabled 2>/dev/null || true
echo "wine-vm: guest \$(uname -r), i386 programs: \$(/lib/ld-linux.so.2 --version >/dev/null 2>&1 && echo run || echo refused)"
$(q "$@") </dev/null
rc=\$?
mkdir -p /host/build/vm/logs
cp build/*.log /host/build/vm/logs/ 2>/dev/null
echo \$rc >/host/build/vm/job.rc
EOF
rm -f "$vm/job.rc" "$vm/console.log" "$vm/serial.log"
: >"$vm/console.log"

# -cpu max without SMAP: QEMU 7.2's TCG treats the stack reads of a 32-bit IRET in user mode
# as supervisor accesses when SMAP is on, so every 32-bit Wine process dies at its first return
# from a signal (a kernel oops, "supervisor read access in user mode").
TMPDIR=$vm timeout "$((${TOVARA_VM_TIMEOUT:-85} * 60))" qemu-system-x86_64 \
  -accel tcg,thread=multi,tb-size=1024 -smp "$(nproc)" -m "${TOVARA_VM_MEMORY:-8192}" -cpu max,-smap \
  -kernel "$vm/vmlinuz" -initrd "$vm/initrd.img" \
  -append "root=/dev/vda rw console=ttyS0 init=/sbin/tovara-init panic=1 quiet" \
  -drive "file=$vm/rootfs.img,format=raw,if=virtio" -snapshot \
  -virtfs "local,path=$top,mount_tag=host,security_model=passthrough,id=host" \
  -display none -serial "file:$vm/serial.log" -no-reboot >"$vm/qemu.log" 2>&1 &
qemu=$!
# The job's output reaches the host through the shared folder; follow it until qemu ends.
tail -n +1 -f --pid="$qemu" "$vm/console.log" &
wait "$qemu" || true
sleep 1
if [ -f "$vm/job.rc" ]; then
  exit "$(cat "$vm/job.rc")"
fi
echo "wine-vm: the guest ended without the command's exit code (see $vm/serial.log, $vm/qemu.log)"
exit 1
