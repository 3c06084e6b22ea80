#pragma once

// Waiting for another thread that is about to finish something short (a
// block of a job, a chunk of weights). Declarations only, so that the loops
// compiled for each instruction set (irls_kernel_body.h) may use them too.

// One round of a busy wait, easy on the core's other work.
void Relax();

// Round round (from 0) of such a wait: a pause in the first rounds, after
// them the core given away each round, in case the awaited thread shares it.
void WaitRound(int round);
