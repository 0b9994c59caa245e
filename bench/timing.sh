# Sourced by the benchmark scripts: what they keep of their timed rounds and how they sum them up.
# times[name] holds the microseconds of each round, space-separated.
declare -A times

# The median of the numbers on standard input (spaces or lines between them).
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# The median round of name, in seconds.
seconds() { printf '%s' "${times[$1]}" | median | awk '{ printf "%.3f", $1 / 1e6 }'; }
# The median over the rounds of name1/name2, each round's pair taken together.
ratio() {
    paste <(printf '%s' "${times[$1]}" | tr ' ' '\n' | grep -v '^$') \
          <(printf '%s' "${times[$2]}" | tr ' ' '\n' | grep -v '^$') |
        awk '{ print $1 / $2 }' | tr '\n' ' ' | median
}
