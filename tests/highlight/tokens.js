var x = 10;
foo (a)
foo  bar(
"it's" 'say "hi"'
"open quote
next = 'fresh';
1.5 .5 1. 12px 1e3 0x1F 1;
a.b
{x };
Function function FUNCTION
x = y+z*(2-w)/4%q;
list[0], list[1.5]
