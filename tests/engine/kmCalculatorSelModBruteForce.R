# Brute force behind kmCalculatorSelModTest.cpp: every placement of 0 to
# 3 kinkmarks on the observations (2 observations kept at each end, 2
# between kinkmarks), weighted least squares of the continuous piecewise
# linear model on x less its integer origin, BIC = log(Q/n) + (2k+2) log(n)/n,
# and the sequential permutation F test (alpha 0.05, 199 permutations of the
# weighted residuals of the null fit). Run: Rscript kmCalculatorSelModBruteForce.R
x <- 1990:2001
y <- c(1.00, 1.06, 1.09, 1.16, 1.21, 1.17, 1.15, 1.11, 1.09, 1.18, 1.25, 1.34)
w <- c(1, 2, 1.5, 1, 0.5, 2, 1, 1, 3, 1, 2, 1)
n <- length(x); e <- 2; b <- 2
xs <- x - trunc(min(x))
design <- function(tau) {
  X <- cbind(1, xs)
  for (t in tau) X <- cbind(X, pmax(xs - t, 0))
  X
}
fit <- function(tau, yy = y) {
  X <- design(tau)
  beta <- solve(t(X) %*% (w * X), t(X) %*% (w * yy))
  r <- yy - X %*% beta
  list(Q = sum(w * r^2), beta = beta, fitted = X %*% beta, r = r)
}
placements <- function(k) {
  idx <- (e + 1):(n - e)
  if (k == 0) return(list(integer(0)))
  out <- list()
  rec <- function(prefix, from) {
    if (length(prefix) == k) { out[[length(out) + 1]] <<- prefix; return() }
    for (i in idx[idx >= from]) rec(c(prefix, i), i + b + 1)
  }
  rec(integer(0), e + 1)
  out
}
best <- function(k, yy = y) {
  bq <- Inf; bt <- NULL
  for (p in placements(k)) {
    f <- fit(xs[p], yy)
    if (f$Q < bq) { bq <- f$Q; bt <- xs[p] }   # first of equal Q wins
  }
  list(Q = bq, tau = bt)
}
for (k in 0:3) {
  bk <- best(k); f <- fit(bk$tau)
  slopes <- cumsum(f$beta[-1])
  cat(sprintf("k=%d Q=%.17g BIC=%.17g tau=%s APC=%s\n", k, bk$Q,
              log(bk$Q / n) + (2 * k + 2) * log(n) / n,
              paste(bk$tau + trunc(min(x)), collapse = ","),
              paste(sprintf("%.17g", 100 * (exp(slopes) - 1)), collapse = ",")))
}
set.seed(1)
P <- 199; alpha <- 0.05; k0 <- 0; k1 <- 3; kmax <- 3
while (k0 < k1) {
  f0 <- fit(best(k0)$tau)
  Fstat <- function(yy) {
    s0 <- best(k0, yy)$Q; s1 <- best(k1, yy)$Q
    (s0 - s1) / s1 * (n - 2 * k1 - 2) / (2 * (k1 - k0))
  }
  F1 <- Fstat(y)
  ew <- sqrt(w) * f0$r
  Fp <- replicate(P, Fstat(f0$fitted + sample(ew) / sqrt(w)))
  p <- (1 + sum(Fp >= F1)) / (P + 1)
  cat(sprintf("test %d vs %d: F=%.6g p=%.4g level=%.4g\n", k0, k1, F1, p,
              alpha / (kmax - k0)))
  if (p <= alpha / (kmax - k0)) k0 <- k0 + 1 else k1 <- k1 - 1
}
cat("permutation test selects", k0, "\n")
