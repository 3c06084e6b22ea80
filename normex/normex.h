#ifndef TOLVAR_NORMEX_H
#define TOLVAR_NORMEX_H

/*
 * The Lp-norm library (libnormex.so). Its one entry point solves the
 * adjustment problem named by a command text under a norm factor and writes
 * the result report to the output file.
 *
 * Command text, fields separated by blanks (or tabs):
 *     INPUT OUTPUT N U FACTOR PASSES
 * built with "%s %s %d %d %lf %d ". A file name that contains blanks is
 * written in double quotes, with \" for a quote and \\ for a backslash
 * inside them; any other backslash is kept as it is. A plain name is read
 * as it is, backslashes included. The text ends at its
 * terminating zero or after `length` bytes, whichever comes first; nothing
 * beyond is read.
 *
 * Norm factor: 1 gives the L1 solution (Barrodale-Roberts), 25 the exact
 * Chebyshev (minimax) solution of the weighted system, any other factor
 * p > 1 the minimiser of sum_i |sqrt(p_i) v_i|^p by Newton's method with at
 * most PASSES passes (p = 2 is least squares in one pass).
 */

#ifdef __cplusplus
extern "C" {
#endif

/* The smallest norm factor; below it the result is NORMEX_BAD_NORM_FACTOR. */
#define NORMEX_MIN_NORM_FACTOR 1.0

enum NormexResult {
    NORMEX_SUCCESS = 0,           /* report written, every unknown finite */
    NORMEX_NOT_FINITE = 1,        /* report written, but an unknown, a correction or an adjusted
                                     observation is infinite or NaN, or the normal equations are
                                     numerically singular */
    NORMEX_BAD_COMMAND = 2,       /* null text, length < 1, or a field missing or malformed */
    NORMEX_BAD_NORM_FACTOR = 3,   /* factor below 1, not finite or beyond double range; nothing written */
    NORMEX_INPUT_NOT_OPENED = 4,  /* the input file is not named or cannot be opened */
    NORMEX_INPUT_REJECTED = 5,    /* the input file is faulty (layout, numbers, weights) */
    NORMEX_SIZE_MISMATCH = 6,     /* N or U differs from the input file; nothing written */
    NORMEX_OUTPUT_FAILED = 7,     /* the report could not be created or written completely; a previous
                                     file of its name is left as it was */
    NORMEX_OUT_OF_MEMORY = 8,     /* the problem does not fit into memory */
    NORMEX_NO_CONVERGENCE = 9,    /* report written, but the run stopped short of the solution: the pass
                                     limit or rounding ended the Lp run, or rounding the minimax simplex,
                                     or the solution's check of optimality (first-order condition, dual)
                                     failed */
    NORMEX_SAME_FILE = 10,        /* the output names the input file (the same file through a link, "./"
                                     or a hard link included); nothing read, nothing written */
    NORMEX_TOO_FEW_OBSERVATIONS = 11 /* fewer observations than unknowns: no unique solution; nothing
                                        written */
};

/* Solves the problem of the command text; one of NormexResult. */
int LP(char* command, int length);

#ifdef __cplusplus
}
#endif

#endif
