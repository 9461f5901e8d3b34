# The script a designer would write instead of Tarvex, for the speed comparison: the same bins as
# the generated benchmark settings (widths 0.5 1 2 5 10 20u, lengths 0.18 0.25 0.5 1 2 5u, part
# names nch_w<w>_l<l> / pch_w<w>_l<l>) and the same rule: first L= and W= of the line, suffix
# letters scale the number, closed bins with the first match winning, first Key replaced.
function value(token,    number, upper, cut, factor) {
    number = token + 0
    cut = index(token, " ")
    upper = toupper(cut ? substr(token, 1, cut - 1) : token)
    if (index(upper, "MEG")) return number * 1e6
    factor = 1
    if (index(upper, "T")) factor *= 1e12
    if (index(upper, "G")) factor *= 1e9
    if (index(upper, "K")) factor *= 1e3
    if (index(upper, "M")) factor *= 1e-3
    if (index(upper, "U")) factor *= 1e-6
    if (index(upper, "N")) factor *= 1e-9
    if (index(upper, "P")) factor *= 1e-12
    if (index(upper, "F")) factor *= 1e-15
    return number * factor
}
function bin(bounds, x,    i) {
    for (i = 0; i < 5; i++) if (bounds[i] <= x && x <= bounds[i + 1]) return i
    return -1
}
function size_after(line, marker,    at) {
    at = index(line, marker)
    return at ? value(substr(line, at + 2, 20)) : 0
}
function replace(line, key, prefix,    at, w, l) {
    at = index(line, key)
    w = bin(wbound, W); l = bin(lbound, L)
    if (w < 0 || l < 0) return line
    return substr(line, 1, at - 1) prefix "ch_w" w "_l" l substr(line, at + length(key))
}
BEGIN {
    split("0.5 1 2 5 10 20", ws, " "); split("0.18 0.25 0.5 1 2 5", ls, " ")
    for (i = 0; i < 6; i++) { wbound[i] = ws[i + 1] * 1e-6; lbound[i] = ls[i + 1] * 1e-6 }
}
index($0, "MODxyN") || index($0, "MODxyP") {
    L = size_after($0, "L="); W = size_after($0, "W=")
    if (index($0, "MODxyN")) $0 = replace($0, "MODxyN", "n")
    if (index($0, "MODxyP")) $0 = replace($0, "MODxyP", "p")
}
{ print }
