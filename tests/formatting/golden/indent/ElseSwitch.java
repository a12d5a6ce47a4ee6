class ElseSwitch {
int pick(int n) {
if (n < 0) {
return -1;
} else if (n == 0) {
return 0;
}
else
{
n++;
}
switch (n) {
case 1:
n = 2;
break;
default:
n = 3;
}
outer:
for (int i = 0; i < n; i++) {
continue outer;
}
try {
n /= 0;
} catch (ArithmeticException e) {
n = 0;
} finally {
n++;
}
do {
n--;
} while (n > 0);
return n;
}
}
