# The report benchmark.
