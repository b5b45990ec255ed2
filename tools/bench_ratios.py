import csv, sys, collections, re
rows=collections.defaultdict(dict)
for r in csv.reader(open(sys.argv[1])):
    name=r[0].strip('"')
    m=re.match(r'(\w+)/(\w+)/(\d+)(/[a-z_]+)?_median',name)
    if not m: continue
    fn,who,n=m[1],m[2],m[3]
    rows[(fn,n)][who]=float(r[2])
for (fn,n),d in sorted(rows.items()):
    peers={k:v for k,v in d.items() if not k.startswith('vexa')}
    for k in sorted(d):
        if not k.startswith('vexa'): continue
        s=' '.join(f'{p}={d[k]/v:.2f}' for p,v in sorted(peers.items()))
        print(f'{fn:10s} {n:>9s} {k:8s} {d[k]:10.1f}  {s}')
