#!/usr/bin/env bash
# A private one-node Slurm cluster on the loopback address, for trying farm-submit on one machine
# and for the tests: its own munge key and socket, config, state, spool and logs under DIR, its
# own ports. Nothing of the machine's own Slurm or munge is touched.
#
#   scripts/private-slurm.sh start DIR [SLURMCTLD_PORT SLURMD_PORT]   then: export SLURM_CONF=DIR/slurm.conf
#   scripts/private-slurm.sh stop DIR
#
# start waits until the node takes jobs (or fails after 60 s with the daemons' logs); stop ends
# exactly the daemons that start began, by their pid files.
set -euo pipefail

usage() { echo "usage: $0 start DIR [SLURMCTLD_PORT SLURMD_PORT] | stop DIR" >&2; exit 2; }
[ $# -ge 2 ] || usage
action=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
conf=$dir/slurm.conf

stop_pid_file() {
    local file=$1 pid
    [ -s "$file" ] || return 0
    pid=$(cat "$file")
    if kill "$pid" 2>/dev/null; then
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$file"
}

stop() {
    stop_pid_file "$dir/slurmd.pid"
    stop_pid_file "$dir/slurmctld.pid"
    stop_pid_file "$dir/munged.pid"
}

start() {
    local ctld_port=${1:-6817} slurmd_port=${2:-6818}
    for program in munged mungekey slurmctld slurmd sbatch squeue sinfo; do
        command -v "$program" >/dev/null || { echo "$program is not installed (scripts/install-deps.sh installs Slurm and munge)" >&2; exit 3; }
    done
    local host cpus
    host=$(hostname -s)
    cpus=$(nproc)
    mkdir -p "$dir/state" "$dir/spool" "$dir/log"
    [ -f "$dir/munge.key" ] || mungekey -c -k "$dir/munge.key"
    chmod 600 "$dir/munge.key"
    munged --key-file="$dir/munge.key" --socket="$dir/munge.sock" --pid-file="$dir/munged.pid" \
           --log-file="$dir/log/munged.log" --seed-file="$dir/munged.seed" --force
    cat > "$conf" <<EOF
ClusterName=vellimor
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$ctld_port
SlurmdPort=$slurmd_port
AuthType=auth/munge
AuthInfo=socket=$dir/munge.sock
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus State=UNKNOWN
PartitionName=render Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
    slurmctld -f "$conf"
    slurmd -f "$conf"
    for _ in $(seq 120); do
        if SLURM_CONF=$conf sinfo -h -o %t 2>/dev/null | grep -qE '^(idle|mix|alloc)'; then
            echo "Slurm is up: export SLURM_CONF=$conf"
            return 0
        fi
        sleep 0.5
    done
    echo "the private Slurm did not come up; its logs:" >&2
    tail -n 20 "$dir"/log/*.log >&2 || true
    stop
    exit 1
}

case $action in
    start) shift 2; start "$@" ;;
    stop) stop ;;
    *) usage ;;
esac
