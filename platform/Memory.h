#pragma once

/// Keeps the memory of long jobs bounded: blocks of 256 KiB and more (the
/// demuxers' and muxers' growing sample tables) get pages of their own, given
/// back when freed. glibc would otherwise raise that bound to the largest
/// block freed so far and keep such tables in its heap, where they leave
/// holes that grow with the length of the file. Call once at start.
void BoundLargeAllocations();
