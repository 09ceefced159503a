#!/usr/bin/env bash
# Runs the README's GNU parallel recipe that converts logs on other hosts over ssh, against an
# sshd of its own on 127.0.0.1 reached under two host names, and checks that every job ran on
# one of those hosts and that the history files that came back are byte for byte those of a
# local run. Exits 77 (skipped) when sshd, ssh, GNU parallel or rsync is missing.
# Usage: readme_ssh_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)

sshd=$(command -v sshd || echo /usr/sbin/sshd)
for tool in "$sshd" ssh ssh-keygen parallel rsync; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (Debian: openssh-server openssh-client parallel rsync)"
    exit 77
  fi
done

work=$(mktemp -d)
sshd_pid=""
cleanup() {
  for host in host1 host2; do ssh -F "$work/ssh_config" -O exit "$host" 2>/dev/null || true; done
  [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Keys made for this run only: the server's host key and the client's login key.
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/id"
cp "$work/id.pub" "$work/authorized_keys"
# sshd run by root wants its privilege-separation folder, which its service would make.
[ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd

# A port of its own: try a few until sshd stays up and answers.
for attempt in 1 2 3 4 5; do
  port=$((20000 + (RANDOM % 30000)))
  cat >"$work/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $work/host_key
AuthorizedKeysFile $work/authorized_keys
PidFile $work/sshd.pid
StrictModes no
UsePAM no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
LogLevel ERROR
EOF
  cat >"$work/ssh_config" <<EOF
Host host1 host2
  HostName 127.0.0.1
  Port $port
  User $(id -un)
  IdentityFile $work/id
  IdentitiesOnly yes
  StrictHostKeyChecking no
  UserKnownHostsFile /dev/null
  BatchMode yes
  LogLevel ERROR
  # One connection per host carries every job's commands and copies.
  ControlMaster auto
  ControlPath $work/control-%h
  ControlPersist 60
EOF
  "$sshd" -D -f "$work/sshd_config" -E "$work/sshd.log" &
  sshd_pid=$!
  for _ in $(seq 50); do
    ssh -F "$work/ssh_config" host1 true 2>/dev/null && break 2
    kill -0 "$sshd_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
  sshd_pid=""
done
if [ -z "$sshd_pid" ]; then
  echo "skipped: sshd did not start on 127.0.0.1 ($(cat "$work/sshd.log" 2>/dev/null))"
  exit 77
fi

# A year folder of three daily logs, each with its own tag header, made from the example.
mkdir -p "$work/remote/2015" "$work/local"
for day in 1 2 3; do
  sed -n "$((day * 100 - 99)),$((day * 100))p" "$source_dir/examples/boiler.txt" \
    >"$work/remote/2015/day$day.txt"
  cp "$source_dir/examples/boiler.HDR" "$work/remote/2015/day$day.HDR"
done
cp -r "$work/remote/2015" "$work/local/"

# The recipe as the README writes it, continuation lines joined.
recipe=$(sed -n '/^parallel --sshlogin/,/[^\\]$/p' "$source_dir/README.md" | sed 's/\\$//' | tr '\n' ' ')
if [ -z "$recipe" ]; then
  echo "README.md has no line starting with 'parallel --sshlogin'"
  exit 1
fi
echo "recipe: $recipe"

# The hosts find this build's tagpress through the PATH that parallel passes on.
export PATH="$build:$PATH"
export PARALLEL_SSH="ssh -F $work/ssh_config"
export PARALLEL="--env PATH --joblog $work/jobs"
(cd "$work/remote" && HOME="$work" bash -c "$recipe")
(cd "$work/local" && TZ=Europe/Berlin tagpress '2015/*.txt' /q >/dev/null)

status=0
for day in 1 2 3; do
  if ! cmp "$work/remote/2015/day$day.HST" "$work/local/2015/day$day.HST"; then
    status=1
  fi
done
# Every job ran through ssh: the job log names host1 or host2 for each.
hosts=$(awk 'NR > 1 { print $2 }' "$work/jobs" | sort -u | tr '\n' ' ')
echo "hosts used: $hosts"
if [ "$(awk 'NR > 1 && $2 != "host1" && $2 != "host2"' "$work/jobs" | wc -l)" -ne 0 ] ||
  [ "$(awk 'NR > 1' "$work/jobs" | wc -l)" -ne 3 ]; then
  echo "not every job ran on host1 or host2:" && cat "$work/jobs"
  status=1
fi
[ "$status" -eq 0 ] && echo "the history files from the hosts match a local run"
exit "$status"
