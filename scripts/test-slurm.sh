#!/bin/bash
# The Slurm lane: a one-node Slurm cluster on this machine, started by this
# script and stopped by it again, runs the job array that mandel plan writes;
# its frames must be those of one process, byte for byte. Where Slurm cannot
# be had the lane says why in words instead of passing in silence.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

SLURM_PACKAGES=(slurm-wlm munge)

# What this lane started or changed, undone by slurm_stop.
slurm_started_munged=""
slurm_conf_backup=""

slurm_stop() {
  local f pid pids=() i alive
  for f in /run/slurmd.pid /run/slurmctld.pid; do
    pid="$(cat "$f" 2>/dev/null || true)"
    if [[ -n "$pid" ]]; then
      pids+=("$pid")
    fi
  done
  if [[ -n "$slurm_started_munged" ]]; then
    pids+=("$slurm_started_munged")
  fi
  if ((${#pids[@]})); then
    kill "${pids[@]}" 2>/dev/null || true
    # Gone before the lane ends, so that the next run starts afresh.
    for ((i = 0; i < 50; i++)); do
      alive=0
      for pid in "${pids[@]}"; do
        if kill -0 "$pid" 2>/dev/null; then
          alive=1
        fi
      done
      ((alive)) || break
      sleep 0.2
    done
  fi
  if [[ -n "$slurm_conf_backup" ]]; then
    mv -f "$slurm_conf_backup" /etc/slurm/slurm.conf
  else
    rm -f /etc/slurm/slurm.conf
  fi
}

# Starts munged unless one already answers; its PID is kept for slurm_stop.
slurm_start_munge() {
  if munge -n 2>/dev/null | unmunge >/dev/null 2>&1; then
    return 0
  fi
  if [[ ! -s /etc/munge/munge.key ]]; then
    dd if=/dev/urandom of=/etc/munge/munge.key bs=1024 count=1 2>/dev/null
    chown munge:munge /etc/munge/munge.key
    chmod 400 /etc/munge/munge.key
  fi
  mkdir -p /run/munge
  chown munge:munge /run/munge
  su -s /bin/sh munge -c /usr/sbin/munged
  slurm_started_munged="$(cat /run/munge/munged.pid)"
  munge -n | unmunge | grep -q 'STATUS: *Success (0)'
}

slurm_write_conf() {
  local host
  host="$(hostname -s)"
  if [[ -e /etc/slurm/slurm.conf ]]; then
    slurm_conf_backup="$(mktemp /etc/slurm/slurm.conf.XXXXXX)"
    cp -p /etc/slurm/slurm.conf "$slurm_conf_backup"
  fi
  mkdir -p /etc/slurm /var/spool/slurmctld /var/spool/slurmd /var/log/slurm
  cat >/etc/slurm/slurm.conf <<EOF
ClusterName=local
SlurmctldHost=$host
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
ReturnToService=2
SlurmctldPidFile=/run/slurmctld.pid
SlurmdPidFile=/run/slurmd.pid
SlurmdSpoolDir=/var/spool/slurmd
StateSaveLocation=/var/spool/slurmctld
SlurmUser=root
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobCompType=jobcomp/none
AccountingStorageType=accounting_storage/none
SlurmctldLogFile=/var/log/slurm/slurmctld.log
SlurmdLogFile=/var/log/slurm/slurmd.log
NodeName=$host CPUs=$(nproc) State=UNKNOWN
PartitionName=debug Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

# Waits up to a minute for the node to take work.
slurm_wait_idle() {
  local i
  for ((i = 0; i < 60; i++)); do
    if sinfo -h -o '%t' 2>/dev/null | grep -qx 'idle'; then
      return 0
    fi
    sleep 1
  done
  echo "the Slurm node did not come up; the logs end:" >&2
  tail -n 20 /var/log/slurm/slurmctld.log /var/log/slurm/slurmd.log >&2 || true
  return 1
}

# slurm_lane MANDEL: skips (with the reason, status 0) where Slurm cannot be
# had; fails when it is there but the split frames differ or a step fails.
slurm_lane() {
  local mandel="$1"
  if ((EUID != 0)); then
    echo "slurm lane skipped: the daemons need root, and this is uid $EUID"
    return 0
  fi
  if ! (install_missing_packages "${SLURM_PACKAGES[@]}"); then
    echo "slurm lane skipped: slurm-wlm and munge cannot be installed"
    return 0
  fi
  if pgrep -x slurmctld >/dev/null || pgrep -x slurmd >/dev/null; then
    echo "slurm lane skipped: Slurm daemons already run on this machine," \
      "and this lane starts its own"
    return 0
  fi
  trap slurm_stop EXIT
  slurm_start_munge
  slurm_write_conf
  slurmctld
  slurmd
  slurm_wait_idle
  bash "$ROOT/tests/scale/shares_test.sh" slurm "$mandel" 4
}
