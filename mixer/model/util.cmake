# Paths, strings, numbers, fades and progress arithmetic.
