#pragma once

/// The cores this process may run on (at least one): its CPU affinity, so
/// that a share of a machine given by a cluster or a cgroup counts right.
int UsableCores();
