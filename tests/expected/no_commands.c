/*
Norvane
By qortez7
*/
#include <stdio.h>
#include <conio.h>
#include <stdlib.h>
int main()
{
	printf("\n");
	getch();
}