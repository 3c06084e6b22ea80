# Peer timings in R: quantreg's rq.fit.br (Barrodale-Roberts, Fortran) for
# the L1 solution, and MASS's reweighting step (lm.wfit plus psi.huber, what
# rlm runs per iteration) for one pass, on the same kind of problem as the
# Tolvar benchmarks: A = [1, standard normal columns], 10% gross outliers,
# Huber c = 1.5 with the scale fixed at 1. Medians in seconds.
#
#     Rscript bench/peers/r_peers.R          (Debian r-cran-quantreg, r-cran-mass)

suppressPackageStartupMessages({
  library(quantreg)
  library(MASS)
})

make_problem <- function(n, u, seed = 12345) {
  set.seed(seed + 31 * n + u)
  A <- cbind(1, matrix(rnorm(n * (u - 1)), n, u - 1))
  l <- drop(A %*% c(1, 1 + 0.1 * seq_len(u - 1))) + rnorm(n)
  out <- runif(n) < 0.1
  l[out] <- l[out] + sample(c(-1, 1), sum(out), replace = TRUE) * (10 + 40 * runif(sum(out)))
  list(A = A, l = l)
}

median_time <- function(expr_fun, repeats) {
  times <- replicate(repeats, system.time(expr_fun())[["elapsed"]])
  median(times)
}

huber_pass <- function(A, l, w) {
  fit <- lm.wfit(A, l, w)
  psi.huber(fit$residuals, k = 1.5)  # the weights of the next pass, scale 1
}

cat("rq.fit.br (L1, Barrodale-Roberts):\n")
for (size in list(c(1e3, 5), c(1e4, 5), c(1e4, 20), c(1e5, 10))) {
  p <- make_problem(size[1], size[2])
  repeats <- if (size[1] >= 1e5) 1 else 5
  t <- median_time(function() rq.fit.br(p$A, p$l, tau = 0.5), repeats)
  cat(sprintf("  n=%8d u=%3d  %.4f s\n", size[1], size[2], t))
}

cat("MASS reweighting pass (lm.wfit + psi.huber):\n")
for (size in list(c(1e4, 10), c(1e5, 10), c(1e6, 10), c(1e5, 50))) {
  p <- make_problem(size[1], size[2])
  w <- rep(1, size[1])
  repeats <- if (size[1] >= 1e6) 3 else 7
  t <- median_time(function() huber_pass(p$A, p$l, w), repeats)
  cat(sprintf("  n=%8d u=%3d  %.4f s\n", size[1], size[2], t))
}
