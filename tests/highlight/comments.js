a = 1; /* x
still inside
y */ b = 2;
*/ after
/**/ x
/*/ not closed
*/
*/ outside
/// triple
/
x = 1; // note
// note
foo()// note
a;// note
"//" '/*' x
