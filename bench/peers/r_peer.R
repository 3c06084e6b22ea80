# Peer timings in R on a problem written by tolvar_make_input N U FILE.bin
# (A row by row, then l; little-endian doubles). Prints one elapsed time in
# seconds per repetition.
#
#   Rscript r_peer.R fnb  FILE.bin N U REPEATS        quantreg rq.fit.fnb, L1 (tau 0.5)
#   Rscript r_peer.R fnb0 FILE.bin N U REPEATS        the same with every l(i) = 0
#   Rscript r_peer.R br   FILE.bin N U REPEATS        quantreg rq.fit.br, L1 by the exact simplex
#   Rscript r_peer.R mass FILE.bin N U REPEATS        MASS's reweighting step: lm.wfit
#                                                     and psi.huber (k 1.5, scale 1)

suppressPackageStartupMessages({
  library(quantreg)
  library(MASS)
})

args <- commandArgs(trailingOnly = TRUE)
what <- args[1]
n <- as.integer(args[3])
u <- as.integer(args[4])
repeats <- as.integer(args[5])

con <- file(args[2], "rb")
values <- readBin(con, "double", n = n * u + n, size = 8, endian = "little")
close(con)
A <- matrix(values[seq_len(n * u)], nrow = n, ncol = u, byrow = TRUE)
l <- values[n * u + seq_len(n)]

run <- switch(what,
  fnb = function() rq.fit.fnb(A, l, tau = 0.5),
  br = function() rq.fit.br(A, l, tau = 0.5),
  fnb0 = { zeros <- numeric(n); function() rq.fit.fnb(A, zeros, tau = 0.5) },
  mass = {
    w <- psi.huber(lm.wfit(A, l, rep(1, n))$residuals, k = 1.5)
    function() psi.huber(lm.wfit(A, l, w)$residuals, k = 1.5)
  },
  stop("unknown measurement ", what))

invisible(run())  # warm-up
for (k in seq_len(repeats)) cat(system.time(run())[["elapsed"]], "\n")
